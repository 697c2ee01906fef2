#include "report/report_context.h"

#include "base/install_settings.h"
#include "base/strings.h"
#include "rules/environment_probes.h"
#include "rules/machine_identity.h"

namespace zeph {
namespace {

std::u16string Decimal(int32_t value) {
    return U16(std::to_string(value));
}

}  // namespace

std::u16string ReportContextValues::CidText() const {
    return Decimal(cid);
}

std::u16string ReportContextValues::TidText() const {
    return softId.empty() ? Decimal(tid) : softId;
}

std::u16string ReportContextValues::KidText() const {
    return Decimal(kid);
}

ReportContext& ReportContext::Instance() {
    static ReportContext context;
    return context;
}

void ReportContext::Capture(int32_t cid, int32_t tid, int32_t kid, Products products) {
    // The probes read the registry and the hardware: outside the lock.
    std::u16string idex = GetMachineId();
    std::u16string did = GetDeviceId();
    std::u16string productsJson;
    if (products == Products::Compute) {
        productsJson = InstalledProductsJson();
    }
    std::lock_guard lock(m_mutex);
    m_values.cid = cid;
    m_values.tid = tid;
    m_values.kid = kid;
    m_values.softId = Settings().softId;
    m_values.idex = std::move(idex);
    m_values.did = std::move(did);
    if (products == Products::Compute) {
        m_values.productsJson = std::move(productsJson);
    }
}

void ReportContext::SetChannel(int32_t cid, int32_t tid, int32_t kid) {
    std::lock_guard lock(m_mutex);
    m_values.cid = cid;
    m_values.tid = tid;
    m_values.kid = kid;
}

void ReportContext::SetSoftId(std::u16string softId) {
    std::lock_guard lock(m_mutex);
    m_values.softId = std::move(softId);
}

void ReportContext::SetIdex(std::u16string idex) {
    std::lock_guard lock(m_mutex);
    m_values.idex = std::move(idex);
}

void ReportContext::SetDid(std::u16string did) {
    std::lock_guard lock(m_mutex);
    m_values.did = std::move(did);
}

void ReportContext::SetProductsJson(std::u16string productsJson) {
    std::lock_guard lock(m_mutex);
    m_values.productsJson = std::move(productsJson);
}

ReportContextValues ReportContext::Values() const {
    std::lock_guard lock(m_mutex);
    return m_values;
}

std::u16string ReportContext::Idex() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_values.idex.empty()) {
            return m_values.idex;
        }
    }
    std::u16string idex = GetMachineId();
    std::lock_guard lock(m_mutex);
    if (m_values.idex.empty()) {
        m_values.idex = std::move(idex);
    }
    return m_values.idex;
}

void ReportContext::Clear() {
    std::lock_guard lock(m_mutex);
    m_values = {};
}

}  // namespace zeph
