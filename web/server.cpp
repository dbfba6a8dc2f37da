#include "web/server.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>

namespace web {

bool Server::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    Request r;
    switch (request.method()) {
    case QHttpServerRequest::Method::Get:
        r.method = "GET";
        break;
    case QHttpServerRequest::Method::Head:
        r.method = "HEAD";
        break;
    case QHttpServerRequest::Method::Post:
        r.method = "POST";
        break;
    default:
        r.method = "OTHER";
        break;
    }
    const QUrl url = request.url();
    r.path = url.path(QUrl::FullyDecoded);
    r.query = QUrlQuery(url.query(QUrl::FullyEncoded));
    r.cookie = request.value("cookie");
    r.contentType = request.value("content-type");
    r.body = request.body();
    r.remote = request.remoteAddress().toString();
    const Response response = m_app.handle(r);

    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(QHttpServerResponder::StatusCode(response.status));
    responder.writeHeader("Content-Type", response.type);
    responder.writeHeader("Content-Length", QByteArray::number(response.body.size()));
    for (const auto& [name, value] : response.headers)
        responder.writeHeader(name, value);
    responder.writeBody(r.method == "HEAD" ? QByteArray() : response.body);
    return true;
}

void Server::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    // handleRequest answers every request itself; this is only the base class's due.
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

} // namespace web
