// Reference counting shared by the provider's COM objects.
#pragma once
#include <atomic>
#include "platform/oledb/oledb.h"

// Base of every provider object: one count for the whole object, whichever
// interface it is reached through.
class odbp_object {
public:
    odbp_object() = default;
    odbp_object(const odbp_object&) = delete;
    odbp_object& operator=(const odbp_object&) = delete;
    virtual ~odbp_object() = default;

protected:
    ULONG add_ref() { return ++refs_; }
    ULONG release()
    {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    // Answers QueryInterface with `itf` (already cast to the asked interface).
    template <class T>
    HRESULT give(T* itf, void** ppv)
    {
        *ppv = itf;
        add_ref();
        return S_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
};

#define ODBP_IUNKNOWN_METHODS                     \
    ULONG AddRef() override { return add_ref(); } \
    ULONG Release() override { return release(); }
