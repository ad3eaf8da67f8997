#pragma once

#include <Zym/Export.h>

#include "Zym/Exception.h"
#include "Zym/RefCounter.h"

#include <algorithm>
#include <cstdint>

namespace Zym {

ZYM_ROOT_EXCEPTION(ZYM_EXPORT, BinaryStreamException, Exception);
ZYM_LEAF_EXCEPTION(ZYM_EXPORT, BinaryStreamGetEOFException, BinaryStreamException);
ZYM_LEAF_EXCEPTION(ZYM_EXPORT, BinaryStreamPutEOFException, BinaryStreamException);

enum class SeekDir { Begin, Current, End };

// The reference-counted byte buffer under every binary stream. Derived
// buffers implement the v-hooks; the public operations add the exact-count
// semantics on top. Get and put positions are independent. Positions and
// sizes are of type T; seek offsets are 64-bit so that absolute seeks reach
// the whole range of T.
template <class T> class BinaryStreamBufT : public SPRefCounter {
public:
    static constexpr T COPY_PIECE = 32768;

    ~BinaryStreamBufT() override = default;

    // Writes exactly n bytes or raises BinaryStreamPutEOFException.
    void Put(const void* data, T n) {
        if (vPut(data, n) != n)
            throw BinaryStreamPutEOFException();
    }
    // Reads exactly n bytes or raises BinaryStreamGetEOFException.
    void Get(void* data, T n) {
        if (Read(data, n) != n)
            throw BinaryStreamGetEOFException();
    }
    // Reads up to n bytes; fewer only at the end of the data.
    T Read(void* data, T n) {
        auto* out = static_cast<unsigned char*>(data);
        T done = 0;
        while (done < n) {
            const T got = vGet(out + done, n - done);
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }
    // Copies up to n bytes into `dest`, in pieces of at most COPY_PIECE
    // bytes; returns the count copied and raises nothing at the end of data.
    T Get(BinaryStreamBufT& dest, T n) {
        unsigned char piece[COPY_PIECE];
        T done = 0;
        while (done < n) {
            const T got = vGet(piece, std::min<T>(COPY_PIECE, n - done));
            if (got == 0)
                break;
            dest.Put(piece, got);
            done += got;
        }
        return done;
    }

    T TellP() const { return vTellP(); }
    T SeekP(std::int64_t offset, SeekDir dir = SeekDir::Begin) { return vSeekP(offset, dir); }
    T TellG() const { return vTellG(); }
    T SeekG(std::int64_t offset, SeekDir dir = SeekDir::Begin) { return vSeekG(offset, dir); }
    void Flush() { vFlush(); }
    // Drops all data; both positions return to 0.
    void Clear() { vClear(); }
    // Like Clear, and gives the memory back.
    void ClearMemory() { vClearMemory(); }
    // Drops the data after the put position.
    void ClearEnd() { vClearEnd(); }
    T Size() const { return vSize(); }
    bool EndOfFile() const { return vEndOfFile(); }

protected:
    BinaryStreamBufT() = default;

    // Writes up to n bytes at the put position; returns the count written.
    virtual T vPut(const void* data, T n) = 0;
    virtual T vTellP() const = 0;
    virtual T vSeekP(std::int64_t offset, SeekDir dir) = 0;
    // Reads up to n bytes at the get position; 0 only at the end of data.
    virtual T vGet(void* data, T n) = 0;
    virtual T vTellG() const = 0;
    virtual T vSeekG(std::int64_t offset, SeekDir dir) = 0;
    virtual void vFlush() = 0;
    virtual void vClear() = 0;
    virtual void vClearMemory() = 0;
    virtual void vClearEnd() = 0;
    virtual T vSize() const = 0;
    virtual bool vEndOfFile() const = 0;
};

using BinaryStreamBuf = BinaryStreamBufT<unsigned int>;

} // namespace Zym
