#include "foundation/format.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/strings.h"

namespace foundation {

namespace {

const char16_t LOWER_DIGITS[] = u"0123456789abcdef";
const char16_t UPPER_DIGITS[] = u"0123456789ABCDEF";

class Output {
public:
    explicit Output(char16_t* out) : out_(out) {}

    bool full() const { return count_ >= FORMAT_MAX_UNITS; }
    void put(char16_t unit) {
        if (!full()) out_[count_++] = unit;
    }
    void text(const char16_t* s) {
        for (; *s != 0 && !full(); ++s) out_[count_++] = *s;
    }
    // Bytes widened one by one (ASCII number text).
    void narrow(const char* s) {
        for (; *s != 0 && !full(); ++s) out_[count_++] = static_cast<unsigned char>(*s);
    }
    // "-" for a negative value, then the magnitude's digits in the base.
    void integer(bool negative, uint64_t magnitude, unsigned base, const char16_t* digits) {
        char16_t scratch[64];
        int n = 0;
        do {
            scratch[n++] = digits[magnitude % base];
            magnitude /= base;
        } while (magnitude != 0);
        if (negative) put(u'-');
        while (n > 0 && !full()) out_[count_++] = scratch[--n];
    }
    void signedInteger(int64_t value, unsigned base, const char16_t* digits) {
        // The magnitude is taken unsigned, so the most negative value keeps
        // all its digits.
        uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        integer(value < 0, magnitude, base, digits);
    }
    // The runtime's bounded formatting into a 32-byte scratch area. A number
    // too long for it (such as %f of 1e300) is written in exponent form with
    // the same precision instead of being cut short.
    void real(double value, int precision) {
        char scratch[32];
        int n = precision < 0 ? std::snprintf(scratch, sizeof scratch, "%f", value)
                              : std::snprintf(scratch, sizeof scratch, "%.*f", precision, value);
        if (n < 0 || n >= static_cast<int>(sizeof scratch)) {
            if (precision < 0) {
                std::snprintf(scratch, sizeof scratch, "%e", value);
            } else {
                std::snprintf(scratch, sizeof scratch, "%.*e", precision, value);
            }
        }
        narrow(scratch);
    }
    void exponent(double value) {
        char scratch[32];
        std::snprintf(scratch, sizeof scratch, "%e", value);
        narrow(scratch);
    }
    int32_t finish() {
        out_[count_] = 0;
        return count_;
    }

private:
    char16_t* out_;
    int32_t count_ = 0;
};

bool isDigit(char16_t unit) {
    return unit >= u'0' && unit <= u'9';
}

}  // namespace

int32_t formatWide(char16_t* out, const char16_t* format, va_list args) {
    if (out == nullptr) return 0;
    Output output(out);
    if (format == nullptr) return output.finish();

    const char16_t* p = format;
    while (*p != 0 && !output.full()) {
        if (*p != u'%') {
            output.put(*p++);
            continue;
        }
        const char16_t* directive = p + 1;
        switch (*directive) {
            case u'd':
            case u'i':
                output.signedInteger(va_arg(args, int32_t), 10, LOWER_DIGITS);
                p = directive + 1;
                continue;
            case u'u':
                output.integer(false, va_arg(args, uint32_t), 10, LOWER_DIGITS);
                p = directive + 1;
                continue;
            case u'o':
                output.signedInteger(va_arg(args, int32_t), 8, LOWER_DIGITS);
                p = directive + 1;
                continue;
            case u'x':
                output.signedInteger(va_arg(args, int32_t), 16, LOWER_DIGITS);
                p = directive + 1;
                continue;
            case u'p':
                // Pointer-sized, read as signed like the 32-bit build does.
                output.signedInteger(reinterpret_cast<intptr_t>(va_arg(args, void*)), 16, LOWER_DIGITS);
                p = directive + 1;
                continue;
            case u'X':
                output.signedInteger(va_arg(args, int32_t), 16, UPPER_DIGITS);
                p = directive + 1;
                continue;
            case u'l':
                if (directive[1] == u'd') {
                    output.signedInteger(va_arg(args, int32_t), 10, LOWER_DIGITS);
                    p = directive + 2;
                    continue;
                }
                if (directive[1] == u'l' && directive[2] == u'd') {
                    output.signedInteger(va_arg(args, long long), 10, LOWER_DIGITS);
                    p = directive + 3;
                    continue;
                }
                break;
            case u's': {
                const char16_t* text = va_arg(args, const char16_t*);
                output.text(text != nullptr ? text : u"null");
                p = directive + 1;
                continue;
            }
            case u'S': {
                const char* text = va_arg(args, const char*);
                if (text == nullptr) {
                    output.text(u"null");
                } else {
                    char16_t* wide = toWideAcp(text);
                    if (wide != nullptr) output.text(wide);
                    std::free(wide);
                }
                p = directive + 1;
                continue;
            }
            case u'f':
                output.real(va_arg(args, double), -1);
                p = directive + 1;
                continue;
            case u'e':
                output.exponent(va_arg(args, double));
                p = directive + 1;
                continue;
            case u'.': {
                const char16_t* digit = directive + 1;
                if (*digit == 0) {
                    // "%." at the very end: nothing more.
                    p = digit;
                    continue;
                }
                if (isDigit(*digit) && digit[1] == u'f') {
                    output.real(va_arg(args, double), *digit - u'0');
                    p = digit + 2;
                    continue;
                }
                // Not a precision we know: "%." vanishes and what follows
                // is read again (a non-digit precision is handled alike).
                p = digit;
                continue;
            }
            default:
                break;
        }
        // Not a directive: the "%" stands for itself, and reading goes on
        // with the unit after it.
        output.put(u'%');
        p = directive;
    }
    return output.finish();
}

int32_t formatWideV(char16_t* out, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    int32_t n = formatWide(out, format, args);
    va_end(args);
    return n;
}

}  // namespace foundation
