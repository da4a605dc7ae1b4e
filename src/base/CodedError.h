// The shape shared by the error types whose cases each carry one fixed user-facing message:
// a case from a declared list, its exact message, and equality by case.
#pragma once

#include <QHashFunctions>
#include <QString>

#include <cstddef>
#include <exception>

namespace tidyword {

// Derived declares its nested `enum Code` and passes each case with its message literal.
template <typename Derived>
class CodedError : public std::exception {
public:
    // The exact message shown to the user.
    QString errorDescription() const { return QString::fromUtf8(message_); }
    const char* what() const noexcept override { return message_; }

    friend bool operator==(const Derived& lhs, const Derived& rhs) noexcept {
        return lhs.ordinal_ == rhs.ordinal_;
    }
    friend std::size_t qHash(const Derived& error, std::size_t seed = 0) noexcept {
        return ::qHash(error.ordinal_, seed);
    }

protected:
    // `message` must be a string literal (UTF-8): the error keeps only the pointer, so copying
    // and throwing it never allocates.
    CodedError(int ordinal, const char* message) noexcept : ordinal_(ordinal), message_(message) {}
    int ordinal() const noexcept { return ordinal_; }

private:
    int ordinal_;
    const char* message_;
};

}  // namespace tidyword
