// Runs a task of the text bridge to its end on a local event loop, as the measured programs
// need: they have no application loop of their own to await it on.
#pragma once

#include <QEventLoop>
#include <qcoro/qcorotask.h>

#include <exception>
#include <optional>

namespace tidyword::bench {

template <typename T>
inline T await(QCoro::Task<T> task) {
    std::optional<T> result;
    std::exception_ptr error;
    QEventLoop loop;
    auto runner = [&]() -> QCoro::Task<void> {
        try {
            result = co_await std::move(task);
        } catch (...) {
            error = std::current_exception();
        }
        loop.quit();
    };
    auto running = runner();
    if (!result && !error) {
        loop.exec();
    }
    if (error) {
        std::rethrow_exception(error);
    }
    return *result;
}

inline void await(QCoro::Task<void> task) {
    bool done = false;
    std::exception_ptr error;
    QEventLoop loop;
    auto runner = [&]() -> QCoro::Task<void> {
        try {
            co_await std::move(task);
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        loop.quit();
    };
    auto running = runner();
    if (!done) {
        loop.exec();
    }
    if (error) {
        std::rethrow_exception(error);
    }
}

}  // namespace tidyword::bench
