#pragma once
// The sockets of kastari-web: Qt HTTP Server's requests handed to WebApp and its answers written
// back, over HTTP or, given a certificate, HTTPS.
#include "web/webapp.h"

#include <QAbstractHttpServer>

namespace web {

class Server : public QAbstractHttpServer {
  public:
    explicit Server(WebApp& app) : m_app(app) {}

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

  private:
    WebApp& m_app;
};

} // namespace web
