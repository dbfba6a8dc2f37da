#pragma once
// kastari-collect run as people run it, in a test's own folder, and the files it is given there.
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

struct CollectResult {
    int code = -1;
    QString out, err;
};

// A file of that folder holding the text; its path.
inline QString writeTestFile(const QString& folder, const QString& name, const QString& text) {
    QFile f(folder + u'/' + name);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
    return f.fileName();
}

// Run in that folder to its end: the exit status and what it printed.
inline CollectResult runCollect(const QString& folder, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral(KASTARI_COLLECT), args);
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
