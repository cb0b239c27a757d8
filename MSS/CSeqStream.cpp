#include "MSS/CSeqStream.h"

#include <algorithm>
#include <cstring>

CSeqStream::CSeqStream() = default;

CSeqStream::~CSeqStream() { CoTaskMemFree(buffer_); }

HRESULT CSeqStream::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_ISequentialStream) {
        *ppv = static_cast<ISequentialStream*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG CSeqStream::AddRef() { return ++refs_; }

ULONG CSeqStream::Release()
{
    if (--refs_ == 0) {
        delete this;
        return 0;
    }
    return refs_;
}

HRESULT CSeqStream::Read(void* pv, ULONG cb, ULONG* pcbRead)
{
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if (cb == 0) return S_OK;
    if (pos_ >= size_) return S_FALSE;
    const size_t n = std::min<size_t>(cb, size_ - pos_);
    std::memcpy(pv, buffer_ + pos_, n);
    pos_ += n;
    if (pcbRead) *pcbRead = static_cast<ULONG>(n);
    return n == cb ? S_OK : S_FALSE;
}

HRESULT CSeqStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten)
{
    if (!pv) return STG_E_INVALIDPOINTER;
    if (pcbWritten) *pcbWritten = 0;
    if (cb == 0) return S_OK;
    BYTE* grown = static_cast<BYTE*>(CoTaskMemRealloc(buffer_, size_ + cb));
    if (!grown) return E_OUTOFMEMORY;
    buffer_ = grown;
    // Appended at the end of the data; the read position stays where it is.
    std::memcpy(buffer_ + size_, pv, cb);
    size_ += cb;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
}

bool CSeqStream::seek(size_t position)
{
    pos_ = position;
    return true;
}

bool CSeqStream::clear()
{
    pos_ = 0;
    size_ = 0;
    CoTaskMemFree(buffer_);
    buffer_ = nullptr;
    return true;
}

bool CSeqStream::compare_data(const void* data) const
{
    return size_ == 0 || (data && std::memcmp(data, buffer_, size_) == 0);
}
