// Every program opens the database through one helper: what it may make, what it must find, and
// the words a failure is told in.
#include "store/opening.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using store::OpenFailure;
using store::Use;

TEST(StoreOpening, FindsMakesOrRefusesAsTheUseSays) {
    QTemporaryDir dir;
    const QString collected = dir.filePath("collected.db");
    ASSERT_TRUE(store::openStore(collected, Use::Collect, nullptr)) << "made where it is missing";
    QFile foreign(dir.filePath("foreign.db"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly)); // an empty file: SQLite's, not the collector's
    foreign.close();
    const QString missing = dir.filePath("missing.db");

    const struct {
        QString url;
        Use use;
        std::optional<OpenFailure::Kind> failure; // none: it opens
        QString text;
    } cases[] = {
        {collected, Use::Read, {}, {}},
        {collected, Use::Look, {}, {}},
        {missing, Use::Read, OpenFailure::Kind::Missing, "no database at " + missing},
        {missing, Use::Look, OpenFailure::Kind::Missing, "no database at " + missing},
        // A folder is no database, whatever SQLite would make of it.
        {dir.path(), Use::Read, OpenFailure::Kind::Missing, "no database at " + dir.path()},
        {foreign.fileName(), Use::Read, OpenFailure::Kind::NotOpened,
         QStringLiteral("database %1 cannot be opened: %2")
             .arg(foreign.fileName(), store::Store::NotCollected)},
        {"sqlite:", Use::Collect, OpenFailure::Kind::BadUrl, "no file after sqlite:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        OpenFailure failure;
        const std::unique_ptr<store::Store> db = store::openStore(c.url, c.use, &failure);
        EXPECT_EQ(db == nullptr, c.failure.has_value());
        if (!c.failure) continue;
        EXPECT_EQ(failure.kind, *c.failure);
        EXPECT_EQ(failure.text(), c.text);
    }
    EXPECT_FALSE(QFile::exists(missing)) << "looking made a database";
}

TEST(StoreOpening, ToReadIsReadOnlyAndAFileGoneSinceItWasFoundIsNotMade) {
    QTemporaryDir dir;
    const QString path = dir.filePath("kastari.db");
    ASSERT_TRUE(store::openStore(path, Use::Collect, nullptr));
    const std::optional<store::Location> reading = store::locate(path, Use::Read, nullptr);
    ASSERT_TRUE(reading);
    EXPECT_TRUE(reading->readOnly);
    const std::optional<store::Location> looking = store::locate(path, Use::Look, nullptr);
    ASSERT_TRUE(looking);
    EXPECT_FALSE(looking->readOnly);

    ASSERT_TRUE(QFile::remove(path));
    OpenFailure failure;
    EXPECT_FALSE(store::openStore(*looking, Use::Look, &failure));
    EXPECT_EQ(failure.kind, OpenFailure::Kind::Missing);
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
