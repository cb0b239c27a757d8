// One registered, process-wide instance of a class.
#pragma once
#include <atomic>

#include "TK/tk_exception.h"

template <class T>
class tk_singleton {
public:
    tk_singleton()
    {
        tk_singleton* expected = nullptr;
        instance_.compare_exchange_strong(expected, this);
    }
    virtual ~tk_singleton()
    {
        // Only the registered object clears the registration; a second object
        // must not unregister the first one.
        tk_singleton* self = this;
        instance_.compare_exchange_strong(self, nullptr);
    }
    tk_singleton(const tk_singleton&) = delete;
    tk_singleton& operator=(const tk_singleton&) = delete;

    // The registered instance; none registered is an internal error.
    static T& ref()
    {
        tk_singleton* p = instance_.load();
        if (!p) throw tk_mail_assertion("..\\TK/tk_singl", 71);
        return *static_cast<T*>(p);
    }
    static T* ptr()
    {
        tk_singleton* p = instance_.load();
        if (!p) throw tk_mail_assertion("..\\TK/tk_singl", 64);
        return static_cast<T*>(p);
    }
    // The registered instance or null, for callers that may run without one.
    static T* find()
    {
        tk_singleton* p = instance_.load();
        return p ? static_cast<T*>(p) : nullptr;
    }
    static bool exists() { return instance_.load() != nullptr; }

private:
    // Kept as the base pointer: the object is not yet a T while it registers.
    inline static std::atomic<tk_singleton*> instance_{nullptr};
};
