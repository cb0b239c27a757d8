// Owning COM interface pointer: holds one reference and releases it.
#pragma once
#include <typeinfo>
#include <utility>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "platform/win32/win_types.h"

template <class T>
class ole_com_ptr {
public:
    T* p = nullptr;

    ole_com_ptr() = default;
    explicit ole_com_ptr(T* raw) : p(raw)
    {
        if (p) p->AddRef();
    }
    // Copies share the interface; each holds its own reference.
    ole_com_ptr(const ole_com_ptr& other) : ole_com_ptr(other.p) {}
    ole_com_ptr(ole_com_ptr&& other) noexcept : p(std::exchange(other.p, nullptr)) {}
    ole_com_ptr& operator=(ole_com_ptr other) noexcept
    {
        std::swap(p, other.p);
        return *this;
    }
    virtual ~ole_com_ptr() { release(); }

    // The address of the pointer for a creating call, which hands over a
    // reference of its own. A reference still held is released first.
    T** operator&()
    {
        release();
        return &p;
    }
    // The same as void** for QueryInterface-style calls.
    void** out()
    {
        release();
        return reinterpret_cast<void**>(&p);
    }

    T* operator->() const { return get(); }
    T* get() const
    {
        if (!p) throw tk_mail_assertion("..\\OLE/ole_ptr", 94);
        return p;
    }
    bool empty() const { return p == nullptr; }
    explicit operator bool() const { return p != nullptr; }

    void release()
    {
        if (p) {
            T* q = std::exchange(p, nullptr);
            const ULONG left = q->Release();
            tk_logger::log(1, "ole_com_ptr<T>::~ole_com_ptr() - %d refs left", static_cast<int>(left));
        }
    }
    // Gives the reference away without releasing it.
    T* detach() { return std::exchange(p, nullptr); }
};
