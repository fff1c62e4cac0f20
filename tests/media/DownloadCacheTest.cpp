#include "core/LibraryStore.h"
#include "media/DownloadCache.h"
#include "MediaTestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace lumenote;
using namespace lumenote::test;

namespace {

void writeBytes(const QString& path, qint64 size) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
}

QStringList names(const QList<CachedFile>& files) {
    QStringList n;
    for (const auto& f : files) n << f.fileName();
    return n;
}

}  // namespace

TEST(DownloadCache, ListingPutsFreeFilesFirstAndLargerFirst) {
    const QList<CacheFolderEntry> entries{{"/d/a.mp4", 10, true},   {"/d/b.mp4", 30, true}, {"/d/used-small.mp4", 5, true},
                                          {"/d/used-big.mp4", 50, true}, {"/d/sub", 4096, false}, {"/d/c.webm", 20, true}};
    const auto files = DownloadCache::buildListing(entries, {"/d/used-small.mp4", "/d/used-big.mp4", "/elsewhere.mp4"});
    EXPECT_EQ(names(files), (QStringList{"b.mp4", "c.webm", "a.mp4", "used-big.mp4", "used-small.mp4"}));
    EXPECT_FALSE(files[0].isInUse);
    EXPECT_TRUE(files[3].isInUse);
    EXPECT_EQ(files[3].labelKey(), "settings.cache.in.use");
    // Every listing has fresh ids.
    EXPECT_NE(files[0].id, DownloadCache::buildListing(entries, {})[0].id);
}

TEST(DownloadCache, BaseNameStripsVideoPartAndFormatExtensions) {
    EXPECT_EQ(DownloadCache::baseName("Lecture 3.f137.mp4.part"), "Lecture 3");
    EXPECT_EQ(DownloadCache::baseName("Lecture 3.MP4"), "Lecture 3");
    EXPECT_EQ(DownloadCache::baseName("Clip.F22.webm"), "Clip");
    EXPECT_EQ(DownloadCache::baseName("Week 1.final.mkv"), "Week 1.final");
    EXPECT_EQ(DownloadCache::baseName("audio.f140.m4a"), "audio.f140.m4a");
    EXPECT_EQ(DownloadCache::baseName("v1.2.avi"), "v1.2");
    EXPECT_EQ(DownloadCache::baseName("notes.f12a.mp4"), "notes.f12a");
}

TEST(DownloadCache, ConfirmationCountsFilesInUse) {
    const QString base = "Lectures that used these videos will need to be re-downloaded before they can be reprocessed.";
    EXPECT_EQ(DownloadCache::removeAllConfirmation(0), base);
    EXPECT_EQ(DownloadCache::removeAllConfirmation(1), base + " 1 file is still used by library items and will not be removed.");
    EXPECT_EQ(DownloadCache::removeAllConfirmation(2), base + " 2 files are still used by library items and will not be removed.");
}

TEST(DownloadCache, FolderListingDeletionAndExactPathProtection) {
    QTemporaryDir tmp;
    const QString folder = tmp.path() + "/downloads";
    QString error;
    auto store = LibraryStore::open(tmp.path() + "/library.sqlite", &error);
    ASSERT_TRUE(store) << error.toStdString();

    // Missing folder: empty state.
    EXPECT_TRUE(await(DownloadCache::load(*store, folder)).isEmpty());

    QDir().mkpath(folder + "/subfolder");
    writeBytes(folder + "/Used.mp4", 4000);
    writeBytes(folder + "/Linked.mp4", 300);
    writeBytes(folder + "/Finished.mp4", 2000);
    writeBytes(folder + "/Talk.f137.mp4.part", 3000);
    writeBytes(folder + "/.hidden", 9000);
    ASSERT_TRUE(QFile::link(folder, tmp.path() + "/via-link"));

    store->insert(Lecture::create("Used", folder + "/Used.mp4", std::nullopt));
    // The same file through another path text does not protect it.
    store->insert(Lecture::create("Linked", tmp.path() + "/via-link/Linked.mp4", std::nullopt));

    auto files = await(DownloadCache::load(*store, folder));
    ASSERT_EQ(names(files), (QStringList{"Talk.f137.mp4.part", "Finished.mp4", "Linked.mp4", "Used.mp4"}));
    EXPECT_TRUE(files[0].isIncomplete());
    EXPECT_EQ(files[0].labelKey(), "settings.cache.incomplete");
    EXPECT_EQ(files[0].baseName(), "Talk");
    EXPECT_EQ(files[0].size, 3000);
    EXPECT_FALSE(files[2].isInUse);
    EXPECT_TRUE(files[3].isInUse);

    EXPECT_FALSE(DownloadCache::deleteFile(files[3]));
    EXPECT_TRUE(QFile::exists(folder + "/Used.mp4"));
    EXPECT_TRUE(DownloadCache::deleteFile(files[1]));
    EXPECT_FALSE(QFile::exists(folder + "/Finished.mp4"));

    files = await(DownloadCache::load(*store, folder));
    const auto remaining = DownloadCache::removeAllUnused(files);
    EXPECT_EQ(names(remaining), QStringList{"Used.mp4"});
    EXPECT_TRUE(QFile::exists(folder + "/Used.mp4"));
    EXPECT_TRUE(QFile::exists(folder + "/.hidden"));
    EXPECT_FALSE(QFile::exists(folder + "/Linked.mp4"));
    EXPECT_EQ(names(await(DownloadCache::load(*store, folder))), QStringList{"Used.mp4"});
    EXPECT_EQ(store->lectures().size(), 2u);
}
