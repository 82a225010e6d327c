// Objects the library makes when it is loaded and keeps for the life of the
// process: the constant-string pool, whose first constant is the empty text.
#include "foundation/errors.h"
#include "foundation/strings.h"

namespace {

// A load-time initialiser must not throw: a pool that cannot be made now
// is made on first use instead.
foundation::String* makeEmptyConstant() noexcept {
    try {
        return foundation::makeConstString(u"");
    } catch (foundation::Throwable* error) {
        delete error;
    } catch (...) {
    }
    return nullptr;
}

[[maybe_unused]] foundation::String* const emptyConstant = makeEmptyConstant();

}  // namespace
