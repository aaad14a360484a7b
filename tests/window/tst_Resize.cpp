// The resize rule: only the results list follows the window's outer size, and only while it is
// smaller than the window.

#include "TestRegistry.h"
#include "WindowFixture.h"

#include "ResizeRule.h"

#include <QStatusBar>
#include <QTableView>
#include <QTest>

using namespace kest;
using namespace kest::test;

namespace {

// The outer size less 400 twips wide and 3400 twips high, in whole pixels (15 twips each).
int widthFor(int outerWidth) { return qRound((outerWidth * 15 - 400) / 15.0); }
int heightFor(int outerHeight) { return qRound((outerHeight * 15 - 3400) / 15.0); }

QSize listFor(QSize outer) { return {widthFor(outer.width()), heightFor(outer.height())}; }

} // namespace

class ResizeTests : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstDisplaySizesTheListToTheWindow();
    void growingInOneStep();
    void growingInManySteps();
    void shrinkingBySmallSteps();
    void shrinkingInOneStepFromLargeLeavesTheListWider();
    void minimiseAndRestoreLeaveTheList();
    void onlyTheListAndTheStatusBarFollow();
    void ruleSkipsANegativeSize();

private:
    void resizeTo(QSize client);
    QSize outer() const { return f->window->frameGeometry().size(); }
    QSize list() const { return f->window->lvResults->size(); }
    std::unique_ptr<WindowFixture> f;
};

void ResizeTests::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->startAndShow());
}

void ResizeTests::cleanup() { f.reset(); }

void ResizeTests::resizeTo(QSize client)
{
    f->window->resize(client);
    QTRY_COMPARE(f->window->size(), client);
}

void ResizeTests::firstDisplaySizesTheListToTheWindow()
{
    QCOMPARE(f->window->size(), QSize(697, 430));
    QCOMPARE(list(), listFor(outer()));
    QCOMPARE(f->window->lvResults->pos(), QPoint(7, 175));
    // With the design's client area the list ends above the status bar.
    QVERIFY(f->window->lvResults->geometry().bottom() < f->window->SB1->geometry().top());
}

void ResizeTests::growingInOneStep()
{
    resizeTo({1000, 700});
    QCOMPARE(list(), listFor(outer()));
    QCOMPARE(f->window->lvResults->pos(), QPoint(7, 175));
}

void ResizeTests::growingInManySteps()
{
    for (int step = 1; step <= 12; ++step) {
        resizeTo({697 + 13 * step, 430 + 7 * step});
        QCOMPARE(list(), listFor(outer()));
    }
}

void ResizeTests::shrinkingBySmallSteps()
{
    resizeTo({900, 650});
    for (int step = 1; step <= 12; ++step) {
        resizeTo({900 - 10 * step, 650 - 10 * step});
        // Each step leaves the window larger than the list, so the list follows it.
        QCOMPARE(list(), listFor(outer()));
    }
}

void ResizeTests::shrinkingInOneStepFromLargeLeavesTheListWider()
{
    resizeTo({1600, 1100});
    const QSize large = list();
    QCOMPARE(large, listFor(outer()));
    resizeTo({600, 400});
    QCOMPARE(list(), large);
    QVERIFY(f->window->lvResults->geometry().right() > f->window->width());
    // Once the window is again larger than the list in one dimension, that dimension follows.
    resizeTo({1700, 500});
    QCOMPARE(list(), QSize(widthFor(outer().width()), large.height()));
}

void ResizeTests::minimiseAndRestoreLeaveTheList()
{
    resizeTo({800, 520});
    const QRect before = f->window->lvResults->geometry();
    f->window->showMinimized();
    QTRY_VERIFY(f->window->isMinimized());
    QCOMPARE(f->window->lvResults->geometry(), before);
    f->window->showNormal();
    QTRY_VERIFY(!f->window->isMinimized());
    QCOMPARE(f->window->lvResults->geometry(), before);
}

void ResizeTests::onlyTheListAndTheStatusBarFollow()
{
    QMap<QString, QRect> before;
    for (QWidget *child : f->window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        before[child->objectName()] = child->geometry();
    resizeTo({1100, 800});
    for (QWidget *child : f->window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const QString name = child->objectName();
        if (name != QLatin1String("lvResults") && name != QLatin1String("SB1") && !name.isEmpty())
            QCOMPARE(child->geometry(), before.value(name));
    }
    // The status bar stays along the bottom edge over the full width.
    QCOMPARE(f->window->SB1->geometry(), QRect(0, 800 - 17, 1100, 17));
}

void ResizeTests::ruleSkipsANegativeSize()
{
    // A window so small that outer size minus the margin is negative: that step is skipped.
    QCOMPARE(resizedList({5, 5}, {20, 100}), QSize(5, 5));
    // A minimised window reported as 0 x 0 is smaller than the list: nothing changes.
    QCOMPARE(resizedList({670, 203}, {0, 0}), QSize(670, 203));
    // Exactly the margin leaves a list of no size, which is not a failure.
    QCOMPARE(resizedList({10, 10}, {400 / 15 + 1, 3400 / 15 + 1}),
             QSize(widthFor(400 / 15 + 1), heightFor(3400 / 15 + 1)));
    // Equal sizes do not pass the test.
    QCOMPARE(resizedList({500, 300}, {500, 300}), QSize(500, 300));
}

KEST_REGISTER_TEST(ResizeTests);
#include "tst_Resize.moc"
