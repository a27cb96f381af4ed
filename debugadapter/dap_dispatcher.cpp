#include "dap_dispatcher.h"

#include <QJsonDocument>
#include <QJsonParseError>

void DapDispatcher::Add(const QString& command, Handler handler) {
    handlers_[command] = std::move(handler);
}

QStringList DapDispatcher::commands() const {
    QStringList names;
    for (const auto& [name, handler] : handlers_)
        names << name;
    return names;
}

void DapDispatcher::Dispatch(const std::string& body) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(body), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        output_.Fail({}, error.error != QJsonParseError::NoError
                             ? "the message is not JSON: " + error.errorString()
                             : "the message is not a JSON object");
        return;
    }
    const QJsonObject request = document.object();
    if (request.value("type").toString() != "request" || !request.value("command").isString() ||
        !request.value("seq").isDouble()) {
        output_.Fail(request, "the message is not a request with a seq and a command");
        return;
    }
    const QString command = request.value("command").toString();
    const auto handler = handlers_.find(command);
    if (handler == handlers_.end()) {
        output_.Fail(request, "unknown command '" + command + "'");
        return;
    }
    DapReply reply;
    try {
        reply = handler->second(DapArguments(request));
    } catch (const DapFailure& failure) {
        output_.Fail(request, failure.message);
        return;
    }
    output_.Respond(request, reply.body);
    if (reply.then)
        reply.then();
}
