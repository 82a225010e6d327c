// The embedded class text of the unit tests, which never define it.
#include <cstdint>

namespace launcher {

extern const char BOOTSTRAP_CLASS_TEXT[];
extern const int32_t BOOTSTRAP_CLASS_TEXT_LENGTH;
const char BOOTSTRAP_CLASS_TEXT[] = "";
const int32_t BOOTSTRAP_CLASS_TEXT_LENGTH = 0;

}  // namespace launcher
