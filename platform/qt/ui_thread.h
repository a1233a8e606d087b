#pragma once
// The blocking hand-over: a call made on another thread runs on the thread of the given object
// (the UI thread for widgets) and the caller waits for it to finish, so the caller sees one
// synchronous call and the widgets are only ever touched on their own thread.

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <type_traits>
#include <utility>

namespace wharfling::qt {

template <typename Function>
auto OnThreadOf(QObject& context, Function function) -> decltype(function()) {
  using Result = decltype(function());
  if (QThread::currentThread() == context.thread()) return function();
  if constexpr (std::is_void_v<Result>) {
    QMetaObject::invokeMethod(&context, std::move(function), Qt::BlockingQueuedConnection);
  } else {
    Result result{};
    QMetaObject::invokeMethod(
        &context, [&result, &function] { result = function(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

}  // namespace wharfling::qt
