#pragma once
// Filters what the operator types into an edit: characters outside an allowed set are dropped,
// Backspace always passes, a typed "." may become the decimal comma, and Enter runs a handler
// instead of reaching the edit. Keys that type nothing (arrows, Delete, Home) pass untouched.
#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;

class KeyPressFilter : public QObject {
    Q_OBJECT
  public:
    static const QString Digits;

    // The filter belongs to the edit. An empty allowed set drops every typed character.
    KeyPressFilter(QLineEdit* edit, QString allowed, std::function<void()> onEnter = {});

    void setDotToComma(bool on) { m_dotToComma = on; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* m_edit;
    QString m_allowed;
    std::function<void()> m_onEnter;
    bool m_dotToComma = false;
};
