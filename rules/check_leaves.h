// Check leaves: each one test of the machine (a registry value, a file, a
// service, a kernel object, the OS version, the uninstall history, the city,
// a VPN connection, a virtual machine). A leaf answers yes (non-zero) or no.
// Leaves are built from the "leaf" elements of a check item; strings come in
// through the machine's ANSI code page.
//
// Used on the install driver's thread; leaves have no locks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tinyxml2 {
class XMLElement;
}

namespace zeph {

class ICheckLeaf {
  public:
    explicit ICheckLeaf(int32_t id) : m_id(id) {}
    virtual ~ICheckLeaf() = default;
    ICheckLeaf(const ICheckLeaf&) = delete;
    ICheckLeaf& operator=(const ICheckLeaf&) = delete;

    // Runs the test: non-zero is yes.
    virtual int32_t Check() = 0;

    int32_t Id() const { return m_id; }

  private:
    int32_t m_id;
};

// The leaf an element describes; nullptr for a mode that is not one of the
// thirteen (compared without regard to case) or a missing attribute.
std::unique_ptr<ICheckLeaf> CreateCheckLeaf(const tinyxml2::XMLElement& element);

// "reg": a registry value of the given type that is set (non-empty text,
// non-zero number, or present for other types).
class KRegLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    std::u16string mainkey;  // hkcr, hkcu, hklm or hkus
    std::u16string subkey;
    std::u16string keyname;
    int32_t wow64 = 0;  // 0: look in the 64-bit view first on a 64-bit system
    int32_t keytype = 0;
};

// "regfile": a registry value names a folder that holds the file `name`.
class KRegFileLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    std::u16string mainkey;
    std::u16string subkey;
    std::u16string keyname;
    std::u16string name;
    int32_t wow64 = 0;
};

// "service": the service is registered.
class KServiceLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    std::u16string name;
};

// "driver": the device \\.\Global\name opens (or exists but refuses us).
class KDriverLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    std::u16string name;
};

// "kernelobject": a named mutex, event, semaphore or pipe exists.
// "$SessionID" in the name stands for this process's session.
class KKernalObjectLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    std::u16string type;  // lower-cased on the first test
    std::u16string name;  // session id put in on the first test

  private:
    bool m_prepared = false;
};

// "fullpathfile": the folder exists and holds `name` (or name is empty).
class KFullPathFileLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    std::u16string path;
    std::u16string name;
};

// "varexfile": like "fullpathfile" after expanding environment variables in
// the path (at most 258 characters).
class KVarExFileLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    std::u16string path;
    std::u16string name;
};

// "osversion": the OS version code equals versionvalue.
class KOSVersionLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    std::u16string versionvalue;
};

// "uninstcounts": enough days since the last uninstall, the wait growing
// with the number of uninstalls: (n mod count) * param + Interval days.
class KUninstCountsLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    int32_t Interval = 0;
    int32_t count = 0;
    int32_t param = 0;
    int32_t switchValue = 0;  // attribute "switch"
};

// "uninstcountandtime": an uninstall within Interval days after at least
// `count` uninstalls.
class KUninstCountAndTimeLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    int32_t count = 0;
    int32_t Interval = 0;
};

// "cityblacklist": in the city `cityid` only `percent` percent of machines
// answer yes (0: none, 100: all); other cities and an unknown city answer yes.
class KCityBlackListLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    int32_t percent = 0;
    std::u16string cityid;
};

// "vpn": a VPN connection is up (and the switch is on).
class KConnectVpnLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    int32_t switchValue = 0;
};

// "vmvare": the installer runs in a virtual machine or sandbox (and the
// switch is on).
class KWorkInVMvareLeaf : public ICheckLeaf {
  public:
    using ICheckLeaf::ICheckLeaf;
    int32_t Check() override;

    int32_t switchValue = 0;
};

}  // namespace zeph
