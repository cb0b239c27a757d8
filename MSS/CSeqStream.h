// A growable in-memory sequential stream, used to hand long values to the provider.
#pragma once
#include <cstddef>

#include "platform/com/com.h"

class CSeqStream : public ISequentialStream {
public:
    CSeqStream();

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;

    bool seek(size_t position);
    bool clear();
    bool compare_data(const void* data) const;
    size_t length() const { return size_; }
    void* get_buffer() const { return buffer_; }

protected:
    ~CSeqStream() override;

private:
    ULONG refs_ = 1;
    BYTE* buffer_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
};
