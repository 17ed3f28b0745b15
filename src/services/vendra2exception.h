#pragma once

#include <string>

// Common base of the service, FTP and report exceptions: only an error code
// and a message, both byte strings. Deliberately not derived from
// std::exception and without virtual operations, so copies slice safely.
class Vendra2Exception
{
public:
    Vendra2Exception() = default;
    Vendra2Exception(std::string code, std::string message)
        : code(std::move(code)), message(std::move(message))
    {
    }

    const std::string &getCode() const { return code; }
    const std::string &getMessage() const { return message; }

    std::string code;
    std::string message;
};

// Declares a nested exception class carrying code and message.
#define VENDRA2_NESTED_EXCEPTION(Name)                                                             \
    class Name : public Vendra2Exception                                                           \
    {                                                                                              \
    public:                                                                                        \
        Name() = default;                                                                          \
        Name(std::string code, std::string message)                                                \
            : Vendra2Exception(std::move(code), std::move(message))                                \
        {                                                                                          \
        }                                                                                          \
        explicit Name(const Vendra2Exception &other) : Vendra2Exception(other) {}                  \
    }
