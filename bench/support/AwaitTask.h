#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <optional>
#include <utility>

namespace qw::bench {

// Waits for a task on the event loop, as the main thread does.
template <class T> T awaitTask(QCoro::Task<T>&& task)
{
    std::optional<T> result;
    QEventLoop loop;
    auto continuation = std::move(task).then([&](T value) {
        result.emplace(std::move(value));
        loop.quit();
    });
    if (!result)
        loop.exec();
    return std::move(*result);
}

} // namespace qw::bench
