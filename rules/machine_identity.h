// Machine identifiers kept in class-root keys shared with the suite: the
// machine id (idex), a second machine id for the city service, the hardware
// device id (did) and the suite's user record. Nothing is cached: each call
// reads the registry (and, when needed, the hardware) again.
#pragma once

#include <cstdint>
#include <string>

namespace zeph {

// The machine id in upper case; made when missing and written back (lower
// case, with "idno" = "1") on every call.
std::u16string GetMachineId();

// The second machine id as stored; a fresh one for each call when none is.
std::u16string GetPartnerMachineId();

// The device id: 32 upper-case hexadecimal digits, the MD5 of the hardware
// text below; made and stored when missing.
std::u16string GetDeviceId();

// The hardware text the device id is made from: processor signature, disk
// model, board serial, permanent MAC and sound card name, each with its
// fallback word (NONECPU, NOHARDDISK, NOMAINBOARD, NOMAC; empty sound).
std::string DeviceIdText();

struct UserRecord {
    std::u16string uid;  // exactly 32 characters, else left empty
    int64_t time = 0;
    std::u16string desc;
    int32_t userType = 0;
};

// 1 when the user-record key opened (absent values keep the defaults), else 0.
int ReadUserRecord(UserRecord& record);

// 32 lower-case hexadecimal digits: the MD5 of a random number, a fresh
// GUID, the local time, the MD5 of the computer name and the free space of
// the system volume.
std::u16string MakeFreshId();

}  // namespace zeph
