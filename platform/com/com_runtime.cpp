// Per-thread COM initialisation, the class registry and task memory.
#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include "platform/com/com.h"

namespace {

struct guid_less {
    bool operator()(const GUID& a, const GUID& b) const
    {
        if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
        if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
        if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i]) return a.Data4[i] < b.Data4[i];
        return false;
    }
};

struct class_registry {
    std::mutex lock;
    std::map<GUID, tvx_class_factory, guid_less> classes;
    bool platform_done = false;
};

class_registry& registry()
{
    static class_registry r;
    return r;
}

// Registers the platform's own classes once, before the first lookup.
void ensure_platform_classes()
{
    auto& r = registry();
    {
        std::lock_guard<std::mutex> g(r.lock);
        if (r.platform_done) return;
        r.platform_done = true;
    }
    tvx_register_platform_classes();
}

thread_local int t_init_count = 0;
std::atomic<bool> g_strict{false};

} // namespace

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void*, DWORD) { return t_init_count++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize()
{
    if (t_init_count > 0) --t_init_count;
}

void tvx_com_set_strict(bool strict) { g_strict = strict; }

void tvx_com_register_class(REFCLSID clsid, tvx_class_factory factory)
{
    ensure_platform_classes();
    auto& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    r.classes[clsid] = std::move(factory);
}

bool tvx_com_unregister_class(REFCLSID clsid)
{
    ensure_platform_classes();
    auto& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    return r.classes.erase(clsid) > 0;
}

bool tvx_com_is_registered(REFCLSID clsid)
{
    ensure_platform_classes();
    auto& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    return r.classes.count(clsid) > 0;
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (g_strict && t_init_count == 0) return CO_E_NOTINITIALIZED;
    if ((dwClsContext & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) == 0) return REGDB_E_CLASSNOTREG;
    ensure_platform_classes();
    tvx_class_factory factory;
    {
        auto& r = registry();
        std::lock_guard<std::mutex> g(r.lock);
        auto it = r.classes.find(rclsid);
        if (it == r.classes.end()) return REGDB_E_CLASSNOTREG;
        factory = it->second;
    }
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    return factory(riid, ppv);
}

void* CoTaskMemAlloc(size_t cb) { return std::malloc(cb ? cb : 1); }

void* CoTaskMemRealloc(void* pv, size_t cb) { return std::realloc(pv, cb ? cb : 1); }

void CoTaskMemFree(void* pv) { std::free(pv); }
