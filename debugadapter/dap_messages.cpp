#include "dap_messages.h"

#include <QJsonDocument>
#include <cmath>

void DapOutput::Send(QJsonObject message) {
    std::lock_guard lock(mutex_);
    message["seq"] = seq_++;
    send_(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

void DapOutput::Respond(const QJsonObject& request, const QJsonObject& body) {
    QJsonObject m{{"type", "response"},
                  {"request_seq", request.value("seq").toInteger()},
                  {"command", request.value("command").toString()},
                  {"success", true}};
    if (!body.isEmpty())
        m["body"] = body;
    Send(m);
}

void DapOutput::Fail(const QJsonObject& request, const QString& message) {
    Send({{"type", "response"},
          {"request_seq", request.value("seq").toInteger()},
          {"command", request.value("command").toString()},
          {"success", false},
          {"message", message},
          {"body", QJsonObject{{"error", QJsonObject{{"id", 1}, {"format", message}}}}}});
}

void DapOutput::Event(const QString& event, const QJsonObject& body) {
    QJsonObject m{{"type", "event"}, {"event", event}};
    if (!body.isEmpty())
        m["body"] = body;
    Send(m);
}

namespace {

QString Named(const char* key) {
    return QString("'%1'").arg(key);
}

} // namespace

DapArguments::DapArguments(const QJsonObject& request) {
    const QJsonValue args = request.value("arguments");
    if (!args.isUndefined() && !args.isNull() && !args.isObject())
        throw DapFailure{"the arguments are not an object"};
    args_ = args.toObject();
}

QString DapArguments::String(const char* key) const {
    if (!args_.value(key).isString())
        throw DapFailure{Named(key) + " must be a string"};
    return args_.value(key).toString();
}

QString DapArguments::String(const char* key, const QString& fallback) const {
    return args_.contains(key) ? String(key) : fallback;
}

bool DapArguments::Bool(const char* key, bool fallback) const {
    if (!args_.contains(key))
        return fallback;
    if (!args_.value(key).isBool())
        throw DapFailure{Named(key) + " must be true or false"};
    return args_.value(key).toBool();
}

qint64 DapArguments::Integer(const char* key) const {
    const QJsonValue v = args_.value(key);
    const double d = v.toDouble();
    if (!v.isDouble() || std::floor(d) != d || std::fabs(d) > 9007199254740992.0)
        throw DapFailure{Named(key) + " must be an integer"};
    return qint64(d);
}

qint64 DapArguments::Integer(const char* key, qint64 fallback) const {
    return args_.contains(key) ? Integer(key) : fallback;
}

QJsonArray DapArguments::Array(const char* key) const {
    if (!args_.value(key).isArray())
        throw DapFailure{Named(key) + " must be an array"};
    return args_.value(key).toArray();
}

QJsonObject DapArguments::Object(const char* key) const {
    if (!args_.contains(key))
        return {};
    if (!args_.value(key).isObject())
        throw DapFailure{Named(key) + " must be an object"};
    return args_.value(key).toObject();
}

QJsonObject ObjectIn(const QJsonValue& value, const char* what) {
    if (!value.isObject())
        throw DapFailure{QString("each of %1 must be an object").arg(what)};
    return value.toObject();
}
