#include "core/Format.h"

#include <cstdio>
#include <string>

namespace cs {

namespace {

struct Spec {
    bool left = false, plus = false, space = false, zero = false, alt = false;
    int width = 0, precision = -1;
    char16_t conv = 0;
};

void Pad(String& out, size_t length, const Spec& spec, const String& body, bool numeric) {
    size_t fill = spec.width > 0 && static_cast<size_t>(spec.width) > length ? spec.width - length : 0;
    if (spec.left) {
        out.Append(body);
        for (size_t k = 0; k < fill; ++k)
            out.Append(u' ');
        return;
    }
    if (spec.zero && numeric && spec.precision < 0) {
        // Zeros go after a sign or "0x" prefix.
        size_t prefix = 0;
        if (!body.IsEmpty() && (body[0] == u'-' || body[0] == u'+' || body[0] == u' ')) prefix = 1;
        if (body.Length() > prefix + 1 && body[prefix] == u'0' &&
            (body[prefix + 1] == u'x' || body[prefix + 1] == u'X'))
            prefix += 2;
        out.Append(body.c_str(), prefix);
        for (size_t k = 0; k < fill; ++k)
            out.Append(u'0');
        out.Append(body.c_str() + prefix, body.Length() - prefix);
        return;
    }
    for (size_t k = 0; k < fill; ++k)
        out.Append(u' ');
    out.Append(body);
}

String Number(const Spec& spec, const FormatArg& arg) {
    std::string fmt = "%";
    if (spec.plus) fmt += '+';
    if (spec.space) fmt += ' ';
    if (spec.alt) fmt += '#';
    if (spec.precision >= 0) fmt += "." + std::to_string(spec.precision);
    char buf[512];
    char c = static_cast<char>(spec.conv);
    switch (c) {
    case 'd':
    case 'i': {
        long long v = arg.kind == FormatArg::Kind::Float ? static_cast<long long>(arg.f)
                                                         : static_cast<long long>(arg.i);
        if (arg.kind == FormatArg::Kind::Unsigned) v = static_cast<long long>(arg.u);
        fmt += "lld";
        std::snprintf(buf, sizeof buf, fmt.c_str(), v);
        break;
    }
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
        unsigned long long v =
            arg.kind == FormatArg::Kind::Float ? static_cast<unsigned long long>(arg.f) : arg.u;
        // A negative 32-bit value prints as its 32-bit pattern, as the C runtime does.
        if (arg.kind == FormatArg::Kind::Signed && arg.i < 0 && arg.i >= INT32_MIN)
            v = static_cast<uint32_t>(arg.i);
        fmt += "ll";
        fmt += c;
        std::snprintf(buf, sizeof buf, fmt.c_str(), v);
        break;
    }
    case 'p':
        std::snprintf(buf, sizeof buf, "%08llX",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(arg.p)));
        break;
    default: { // floating point
        double v = arg.kind == FormatArg::Kind::Float      ? arg.f
                   : arg.kind == FormatArg::Kind::Unsigned ? static_cast<double>(arg.u)
                                                           : static_cast<double>(arg.i);
        fmt += c;
        std::snprintf(buf, sizeof buf, fmt.c_str(), v);
        break;
    }
    }
    return Widen(buf);
}

String Text(const Spec& spec, const FormatArg& arg) {
    String body;
    if (arg.kind == FormatArg::Kind::Wide) {
        body = arg.w ? arg.w : u"(null)";
    } else if (arg.kind == FormatArg::Kind::Narrow) {
        body = Widen(arg.n ? arg.n : "(null)");
    } else {
        Spec asNumber = spec;
        asNumber.conv = u'd';
        return Number(asNumber, arg);
    }
    if (spec.precision >= 0) body.Truncate(static_cast<size_t>(spec.precision));
    return body;
}

} // namespace

String FormatArgs(const char16_t* format, const FormatArg* args, size_t count, size_t maxChars) {
    String out;
    size_t next = 0;
    for (const char16_t* p = format; p && *p; ++p) {
        if (*p != u'%') {
            out.Append(*p);
            continue;
        }
        const char16_t* start = p++;
        if (*p == u'%') {
            out.Append(u'%');
            continue;
        }
        Spec spec;
        for (;; ++p) {
            if (*p == u'-')
                spec.left = true;
            else if (*p == u'+')
                spec.plus = true;
            else if (*p == u' ')
                spec.space = true;
            else if (*p == u'0')
                spec.zero = true;
            else if (*p == u'#')
                spec.alt = true;
            else
                break;
        }
        while (*p >= u'0' && *p <= u'9')
            spec.width = spec.width * 10 + (*p++ - u'0');
        if (*p == u'.') {
            spec.precision = 0;
            for (++p; *p >= u'0' && *p <= u'9'; ++p)
                spec.precision = spec.precision * 10 + (*p - u'0');
        }
        while (*p == u'h' || *p == u'l' || *p == u'L' || *p == u'z' || *p == u'j' || *p == u'I' ||
               *p == u'6' || *p == u'4' || *p == u'3' || *p == u'2')
            ++p;
        spec.conv = *p;
        if (!*p || next >= count) { // unknown or missing argument: keep the text as it stands
            out.Append(start, static_cast<size_t>((*p ? p + 1 : p) - start));
            if (!*p) break;
            continue;
        }
        const FormatArg& arg = args[next++];
        String body;
        bool numeric = true;
        switch (spec.conv) {
        case u's':
        case u'S':
            body = Text(spec, arg);
            numeric = false;
            break;
        case u'c':
            body.Append(static_cast<char16_t>(arg.kind == FormatArg::Kind::Unsigned ? arg.u : arg.i));
            numeric = false;
            break;
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o':
        case u'p':
        case u'f':
        case u'F':
        case u'g':
        case u'G':
        case u'e':
        case u'E':
            body = Number(spec, arg);
            break;
        default:
            out.Append(start, static_cast<size_t>(p + 1 - start));
            --next;
            continue;
        }
        Pad(out, body.Length(), spec, body, numeric);
    }
    if (maxChars && out.Length() > maxChars) out.Truncate(maxChars);
    return out;
}

} // namespace cs
