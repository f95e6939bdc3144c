// Reading the coordinate file: what it allocates and where it stops. Its own program, because it replaces
// malloc and realloc to watch the largest request.

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>

#include "kb/widgets/CoordButtonImage.h"

namespace {

std::atomic<bool> g_watching{false};
std::atomic<std::size_t> g_largest{0};

void Note(std::size_t size) {
    if (g_watching.load(std::memory_order_relaxed)) {
        std::size_t seen = g_largest.load(std::memory_order_relaxed);
        while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
        }
    }
}

}  // namespace

// Qt's containers allocate with malloc and realloc: watch them there (glibc's own functions do the work).
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_realloc(void* p, std::size_t size);

void* malloc(std::size_t size) {
    Note(size);
    return __libc_malloc(size);
}
void* realloc(void* p, std::size_t size) {
    Note(size);
    return __libc_realloc(p, size);
}
}

class CoordinateFileTest : public QObject {
    Q_OBJECT

  private slots:
    void readsWhatTheFileHoldsWithinTheLimit() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString small = dir.filePath(QStringLiteral("kb.xml"));
        QFile out(small);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(R"(<positions><k id="30" name="A" rect="10,20,30,40"/></positions>)");
        out.close();

        g_largest = 0;
        g_watching = true;
        const std::vector<KeyButton> keys = ReadCoordinateFile(small);
        g_watching = false;
        QCOMPARE(keys.size(), std::size_t{1});
        QCOMPARE(keys[0].code, 30);
        // A small file needs small buffers, not one sized to the limit.
        QVERIFY2(g_largest < 1024 * 1024, qPrintable(QString::number(g_largest.load())));

        // Over the limit: no keys (and the file is not read whole).
        const QString large = dir.filePath(QStringLiteral("large.xml"));
        QFile big(large);
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(8 * 1024 * 1024 + 1));
        big.close();
        QVERIFY(ReadCoordinateFile(large).empty());
        QVERIFY(ReadCoordinateFile(dir.filePath(QStringLiteral("missing.xml"))).empty());
    }
};

QTEST_GUILESS_MAIN(CoordinateFileTest)
#include "tst_coordfile.moc"
