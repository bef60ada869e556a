// The name of a type as the fatal messages print it: class types carry the "class "
// prefix ("class String"), other types their plain name ("int").
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

namespace cs {

template <class T> struct TypeNameOf {
    static std::string_view Plain() {
        std::string_view f = __PRETTY_FUNCTION__;
        size_t at = f.find("T = ");
        if (at == std::string_view::npos) return "?";
        f.remove_prefix(at + 4);
        size_t end = f.find_first_of(";]");
        f = f.substr(0, end);
        if (f.substr(0, 4) == "cs::") f.remove_prefix(4);
        return f;
    }
    static const char* Name() {
        static const std::string name =
            std::string(std::is_class_v<T> ? "class " : "") + std::string(Plain());
        return name.c_str();
    }
};

template <class T> const char* TypeName() {
    return TypeNameOf<T>::Name();
}

} // namespace cs
