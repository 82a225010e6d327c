// Big-endian byte streams in the shape of a managed runtime's stream
// classes, and AccessOut, the in-memory stream that implements them all.
#pragma once

#include <cstdint>

#include "foundation/arrays.h"
#include "foundation/strings.h"

namespace foundation {

class Closeable {
public:
    virtual ~Closeable() = default;
    virtual void close() = 0;
};

class OutputStream : public Closeable {
public:
    virtual void write(int32_t b) = 0;
    virtual void write(DataArray<char>* b) = 0;
    virtual void write(DataArray<char>* b, int32_t off, int32_t len) = 0;
    virtual void flush() = 0;
};

class DataOutput {
public:
    virtual void writeUTF(String* s) = 0;
    virtual void writeFloat(float v) = 0;
    virtual void write(DataArray<char>* b) = 0;
    virtual void write(DataArray<char>* b, int32_t off, int32_t len) = 0;
    virtual void write(int32_t b) = 0;
    virtual void writeInt(int32_t v) = 0;
    virtual void writeBytes(String* s) = 0;
    virtual void writeChar(int32_t v) = 0;
    virtual void writeBoolean(bool v) = 0;
    virtual void writeByte(int32_t v) = 0;
    virtual void writeShort(int32_t v) = 0;
    virtual void writeDouble(double v) = 0;
    virtual void writeChars(String* s) = 0;
    virtual void writeLong(int64_t v) = 0;

protected:
    ~DataOutput() = default;
};

class DataInput {
public:
    virtual void readFully(DataArray<char>* b, int32_t off, int32_t len) = 0;
    virtual void readFully(DataArray<char>* b) = 0;
    virtual String* readUTF() = 0;
    virtual float readFloat() = 0;
    virtual String* readLine() = 0;
    virtual int32_t readInt() = 0;
    virtual int32_t readShort() = 0;
    virtual int64_t readLong() = 0;
    virtual bool readBoolean() = 0;
    virtual int32_t readByte() = 0;
    virtual double readDouble() = 0;
    virtual int32_t readChar() = 0;
    virtual int32_t readUnsignedByte() = 0;
    virtual int32_t readUnsignedShort() = 0;
    virtual int32_t skipBytes(int32_t n) = 0;
    virtual int32_t available() = 0;

protected:
    ~DataInput() = default;
};

// In-memory stream: appends at count, reads from position.
// Invariant: 0 <= position <= count <= buffer->length.
// Every failure throws a Throwable* (see errors.h).
class AccessOut : public OutputStream, public DataOutput, public DataInput {
public:
    explicit AccessOut(int32_t capacity);
    ~AccessOut() override;

    // A new array holding a copy of the first count bytes; caller owns it.
    DataArray<char>* toByteArray() const;
    // Installs a larger buffer (doubling, at least minimum). Callers call it
    // only when minimum exceeds the capacity.
    void ensureCapacity(int32_t minimum);

    // Closeable / OutputStream
    void close() override;
    void flush() override;
    void write(int32_t b) override;
    void write(DataArray<char>* b) override;
    // b may be the stream's own buffer, also when the write grows it.
    void write(DataArray<char>* b, int32_t off, int32_t len) override;

    // DataOutput
    void writeUTF(String* s) override;
    void writeFloat(float v) override;
    void writeInt(int32_t v) override;
    void writeBytes(String* s) override;
    void writeChar(int32_t v) override;
    void writeBoolean(bool v) override;
    void writeByte(int32_t v) override;
    void writeShort(int32_t v) override;
    void writeDouble(double v) override;
    void writeChars(String* s) override;
    void writeLong(int64_t v) override;

    // DataInput
    void readFully(DataArray<char>* b, int32_t off, int32_t len) override;
    void readFully(DataArray<char>* b) override;
    String* readUTF() override;
    float readFloat() override;
    String* readLine() override;
    int32_t readInt() override;
    int32_t readShort() override;
    int64_t readLong() override;
    bool readBoolean() override;
    int32_t readByte() override;
    double readDouble() override;
    int32_t readChar() override;
    int32_t readUnsignedByte() override;
    int32_t readUnsignedShort() override;
    int32_t skipBytes(int32_t n) override;
    int32_t available() override;

    DataArray<char>* utfBuffer;
    DataArray<char>* buffer;
    int32_t count;
    int32_t position;

private:
    int32_t read(DataArray<char>* b, int32_t off, int32_t len);
    // ensureCapacity's growth, handing the replaced buffer to the caller.
    DataArray<char>* replaceBuffer(int32_t minimum);
};

}  // namespace foundation
