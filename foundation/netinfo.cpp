#include "foundation/netinfo.h"

#include <new>

#include "foundation/errors.h"

namespace foundation {

namespace {

// The fewest bytes one text takes on the wire: its two length bytes.
constexpr int32_t TEXT_MIN_BYTES = 2;

}  // namespace

NetInfo* NetInfo::prototype = static_cast<NetInfo*>(registerPrototype(new NetInfo()));

NetInfo::NetInfo()
    : name(nullptr),
      displayName(nullptr),
      mtu(0),
      index(0),
      parent(nullptr),
      hardwareAddress(0),
      addresses(nullptr),
      state(0) {}

NetInfo::~NetInfo() {
    NetInfo::clear();
}

void NetInfo::clear() {
    releaseField(name);
    releaseField(displayName);
    releaseField(parent);
    if (addresses != nullptr) {
        ObjArray<String>* old = addresses;
        addresses = nullptr;
        delete old;
    }
}

Saveable* NetInfo::newInstance() {
    return new NetInfo();
}

String* NetInfo::toString() {
    StringBuilder builder;
    builder.append(u"NetInfo{name=");
    appendTextOrNull(builder, name);
    builder.append(u", displayName=");
    appendTextOrNull(builder, displayName);
    builder.append(u", mtu=");
    appendDecimal(builder, mtu);
    builder.append(u", index=");
    appendDecimal(builder, index);
    builder.append(u", parent=");
    appendTextOrNull(builder, parent);
    builder.append(u", hardwareAddress=");
    appendDecimal(builder, hardwareAddress);
    builder.append(u", addresses=");
    builder.append(static_cast<Object*>(addresses));
    builder.append(u", state=");
    appendDecimal(builder, state);
    builder.append(u'}');
    return builder.toStringBuilderString();
}

bool NetInfo::write(DataOutput* out) {
    if (out == nullptr) return false;
    try {
        out->writeUTF(name);
        out->writeUTF(displayName);
        out->writeInt(mtu);
        out->writeInt(index);
        out->writeUTF(parent);
        out->writeInt(hardwareAddress);
        if (addresses != nullptr && addresses->count > 0) {
            out->writeInt(addresses->count);
            for (int32_t i = 0; i < addresses->count; ++i) out->writeUTF(addresses->items[i]);
        } else {
            out->writeInt(0);
        }
        out->writeInt(state);
        return true;
    } catch (Throwable* error) {
        delete error;
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool NetInfo::write(DataOutput* out, int32_t) {
    return write(out);
}

bool NetInfo::read(DataInput* in) {
    if (in == nullptr) return false;
    clear();
    try {
        name = in->readUTF();
        displayName = in->readUTF();
        mtu = in->readInt();
        index = in->readInt();
        parent = in->readUTF();
        hardwareAddress = in->readInt();
        addresses = readStringArray(in);
        state = in->readInt();
        return true;
    } catch (Throwable* error) {
        delete error;
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool NetInfo::read(DataInput* in, int32_t) {
    return read(in);
}

ObjArray<String>* readStringArray(DataInput* in) {
    if (in == nullptr) return nullptr;
    const int32_t count = in->readInt();
    if (count <= 0) return nullptr;
    // Refuse a count the rest of the stream could never hold before
    // allocating slots for it.
    if (count > in->available() / TEXT_MIN_BYTES) throwError(STREAM_EOF);
    ObjArray<String>* array = ObjArray<String>::create(count);
    try {
        for (int32_t i = 0; i < count; ++i) array->items[i] = in->readUTF();
    } catch (...) {
        delete array;
        throw;
    }
    return array;
}

}  // namespace foundation
