// An embedded class text that decodes and inflates but that no VM accepts
// as a class (the magic number, then text): a Tavelin linked with it takes
// the path of a bootstrap class the VM refuses.
#include <cstdint>

namespace launcher {

extern const char BOOTSTRAP_CLASS_TEXT[];
extern const int32_t BOOTSTRAP_CLASS_TEXT_LENGTH;
const char BOOTSTRAP_CLASS_TEXT[] = "H4sIAAAAAAAC/zv1b9e+vPwShUSF5JzE4mKFtMycVFL5AM9px0ZEAAAA";
const int32_t BOOTSTRAP_CLASS_TEXT_LENGTH = sizeof BOOTSTRAP_CLASS_TEXT - 1;

}  // namespace launcher
