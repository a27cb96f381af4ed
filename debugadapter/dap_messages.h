// The messages the adapter sends: responses to a request and events, each
// with the adapter's own sequence number, and the checks that read a
// request's arguments by their types.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <mutex>

// A request the adapter cannot carry out, answered with message.
struct DapFailure {
    QString message;
};

class DapOutput {
  public:
    // send gets each message's JSON text; from any thread, one at a time.
    explicit DapOutput(std::function<void(const QByteArray&)> send) : send_(std::move(send)) {}
    void Respond(const QJsonObject& request, const QJsonObject& body = {});
    void Fail(const QJsonObject& request, const QString& message);
    void Event(const QString& event, const QJsonObject& body = {});

  private:
    void Send(QJsonObject message);
    std::function<void(const QByteArray&)> send_;
    std::mutex mutex_;
    int seq_ = 1;
};

// A request's arguments: an object, or none; DapFailure when it is
// anything else. The getters throw DapFailure for a value of another type;
// an absent optional one gives its fallback.
class DapArguments {
  public:
    explicit DapArguments(const QJsonObject& request);
    QString String(const char* key) const; // required
    QString String(const char* key, const QString& fallback) const;
    bool Bool(const char* key, bool fallback) const;
    qint64 Integer(const char* key) const; // required
    qint64 Integer(const char* key, qint64 fallback) const;
    QJsonArray Array(const char* key) const;   // required
    QJsonObject Object(const char* key) const; // {} when absent
    bool Has(const char* key) const { return args_.contains(key); }
    const QJsonObject& all() const { return args_; }

  private:
    QJsonObject args_;
};
// The same checks on an element of an array.
QJsonObject ObjectIn(const QJsonValue& value, const char* what);
