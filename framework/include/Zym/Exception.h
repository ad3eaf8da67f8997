#pragma once

#include <Zym/Export.h>

#include "Zym/MessageInfo.h"
#include "Zym/SmartPtr.h"

#include <new>
#include <string>

namespace Zym {

// Root of every exception. The text is rendered when the exception is made
// from a record, so copies that keep only the text keep the wording.
class ZYM_EXPORT BaseException {
public:
    BaseException() = default;
    explicit BaseException(const char16_t* text);
    explicit BaseException(const std::u16string& text);
    explicit BaseException(const SmartPtr<MessageInfo>& info);
    // A copy carries the text, not the record.
    BaseException(const BaseException& other) : m_Text(other.m_Text) {}
    // Assignment shares the source's record.
    BaseException& operator=(const BaseException& other);
    virtual ~BaseException() = default;

    virtual const std::u16string& What() const { return m_Text; }
    virtual BaseException* Copy() const { return new (std::nothrow) BaseException(*this); }
    [[noreturn]] virtual void Throw() const { throw BaseException(*this); }

    const SmartPtr<MessageInfo>& Info() const noexcept { return m_Info; }
    // What() as UTF-8, for printing.
    std::string WhatUtf8() const;

private:
    std::u16string m_Text;
    SmartPtr<MessageInfo> m_Info;
};

// Declares the copy, Copy and Throw of an exception class in the family.
#define ZYM_EXCEPTION_COPY_MEMBERS(Class, Base)                                                    \
    Class(const Class& other) : Base(other) {}                                                     \
    ~Class() override;                                                                             \
    Class& operator=(const Class& other) {                                                         \
        Base::operator=(other);                                                                    \
        return *this;                                                                              \
    }                                                                                              \
    ::Zym::BaseException* Copy() const override {                                                  \
        return new (std::nothrow) Class(*this);                                                    \
    }                                                                                              \
    [[noreturn]] void Throw() const override {                                                     \
        throw Class(*this);                                                                        \
    }

// A root class of a family: every constructor of BaseException. `Export` is
// the export macro of the library that defines the class.
#define ZYM_ROOT_EXCEPTION(Export, Class, Base)                                                    \
    class Export Class : public Base {                                                             \
    public:                                                                                        \
        Class() = default;                                                                         \
        explicit Class(const char16_t* text) : Base(text) {}                                       \
        explicit Class(const std::u16string& text) : Base(text) {}                                 \
        explicit Class(const ::Zym::SmartPtr<::Zym::MessageInfo>& info) : Base(info) {}            \
        ZYM_EXCEPTION_COPY_MEMBERS(Class, Base)                                                    \
    }

// A leaf class, told apart by its type only.
#define ZYM_LEAF_EXCEPTION(Export, Class, Base)                                                    \
    class Export Class : public Base {                                                             \
    public:                                                                                        \
        Class() = default;                                                                         \
        explicit Class(const std::u16string& text) : Base(text) {}                                 \
        explicit Class(const ::Zym::SmartPtr<::Zym::MessageInfo>& info) : Base(info) {}            \
        ZYM_EXCEPTION_COPY_MEMBERS(Class, Base)                                                    \
    }

// Defines the destructor of a class declared with the macros above; it
// anchors the class's virtual table and type in one library.
#define ZYM_DEFINE_EXCEPTION(Class) Class::~Class() = default

ZYM_ROOT_EXCEPTION(ZYM_EXPORT, Exception, BaseException);

} // namespace Zym
