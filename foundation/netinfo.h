// NetInfo, the record of one network interface, and the string-array
// reader behind its address list. Part of the HID library build only, linked
// whole for its prototype; nothing reads a NetInfo at run time (README,
// "What foundation/ is for").
#pragma once

#include <cstdint>

#include "foundation/records.h"

namespace foundation {

// Wire format: name, displayName (writeUTF, null as empty), mtu, index
// (writeInt), parent (writeUTF), hardwareAddress (writeInt), the number of
// address slots (writeInt) followed by one writeUTF per slot (a null slot
// as an empty text), state (writeInt). Flags are ignored.
class NetInfo : public Saveable {
public:
    NetInfo();
    ~NetInfo() override;
    String* toString() override;

    using Saveable::read;
    using Saveable::write;
    bool write(DataOutput* out) override;
    bool write(DataOutput* out, int32_t flags) override;
    bool read(DataInput* in) override;
    bool read(DataInput* in, int32_t flags) override;
    Saveable* newInstance() override;
    // Gives up name, displayName, parent and addresses; numbers stay.
    virtual void clear();

    String* name;              // counted holds; each may be null
    String* displayName;
    int32_t mtu;
    int32_t index;
    String* parent;
    int32_t hardwareAddress;
    ObjArray<String>* addresses;  // owned; may be null
    int32_t state;

    // The process-wide prototype.
    static NetInfo* prototype;
};

// Reads a count and that many texts (readUTF). Null for a null stream or a
// count of 0 or less. A count the remaining bytes cannot hold throws EOF
// before anything is allocated; any failure while filling deletes the
// array and passes the Throwable* on.
ObjArray<String>* readStringArray(DataInput* in);

}  // namespace foundation
