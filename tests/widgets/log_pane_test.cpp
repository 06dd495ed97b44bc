#include "app/log_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

#include "app/line_store.h"

using qrt::app::LineStore;
using qrt::app::LogPane;

TEST(LineStore, KeepsLinesPackedAndSplitsEmbeddedBreaks) {
    LineStore store;
    store.append("first");
    store.append("a\r\nb");
    store.append("");
    EXPECT_EQ(store.size(), 4u);
    EXPECT_EQ(store.line(1), "a");
    EXPECT_EQ(store.line(2), "b");
    EXPECT_EQ(store.line(3), "");
    EXPECT_EQ(store.line(99), "");
    EXPECT_EQ(store.longest(), 5u);
    store.clear();
    EXPECT_EQ(store.size(), 0u);
    EXPECT_LT(store.capacityBytes(), 32u);  // memory released, but for the empty string
}

TEST(LogPane, FollowsNewLinesOnlyWhileAtTheBottom) {
    LogPane pane;
    pane.resize(300, 120);
    pane.show();
    for (int i = 0; i < 100; ++i) {
        pane.appendLine("line " + std::to_string(i));
    }
    QScrollBar* bar = pane.verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(10);
    pane.appendLine("more");
    EXPECT_EQ(bar->value(), 10);
    EXPECT_EQ(pane.lineCount(), 101u);
}

TEST(LogPane, SelectsAndCopiesLikeATextBox) {
    LogPane pane;
    pane.resize(300, 200);
    pane.show();
    pane.appendLine("alpha");
    pane.appendLine("beta gamma");
    pane.appendLine("Neuer Offsetwert -1.00\xC3\x9D C");
    pane.selectAll();
    EXPECT_EQ(pane.selectedText(),
              QString::fromUtf8("alpha\nbeta gamma\nNeuer Offsetwert -1.00\u00DD C"));
    pane.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), pane.selectedText());
    QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_TRUE(pane.selectedText().isEmpty());
    pane.clear();
    EXPECT_EQ(pane.lineCount(), 0u);
    EXPECT_TRUE(pane.selectedText().isEmpty());
}
