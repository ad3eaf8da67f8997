#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace zymwin {

// Sets (or, with no value, unsets) an environment variable for a scope and
// puts back what was there before.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : m_Name(name) {
        if (const char* previous = std::getenv(name))
            m_Previous = previous;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ScopedVariable(const char* name, const std::string& value)
        : ScopedVariable(name, value.c_str()) {}
    ~ScopedVariable() {
        if (m_Previous)
            ::setenv(m_Name, m_Previous->c_str(), 1);
        else
            ::unsetenv(m_Name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_Name;
    std::optional<std::string> m_Previous;
};

} // namespace zymwin
