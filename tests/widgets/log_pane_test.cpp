#include "app/log_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
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

TEST(LogPane, FindGoesNextPreviousRoundTheLinesAndSaysNoMatch) {
    LogPane pane;
    pane.resize(400, 120);
    pane.show();
    for (const char* line : {"alpha 1 ALPHA", "beta", "gamma Alpha", "delta"}) {
        pane.appendLine(line);
    }
    pane.verticalScrollBar()->setValue(0);
    QTest::keyClick(&pane, Qt::Key_F, Qt::ControlModifier);
    auto* text = pane.findChild<QLineEdit*>("FindText");
    auto* status = pane.findChild<QLabel*>("FindStatus");
    ASSERT_TRUE(text->isVisible());
    QTest::keyClicks(text, "alpha");
    auto state = [&] {
        return status->text().toStdString() + " | " + pane.selectedText().toStdString();
    };
    EXPECT_EQ(state(), "1 of 3 | alpha");
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(state(), "2 of 3 | ALPHA");
    QTest::keyClick(text, Qt::Key_F3);
    EXPECT_EQ(state(), "3 of 3 | Alpha");
    QTest::keyClick(text, Qt::Key_Return);  // round to the first again
    EXPECT_EQ(state(), "1 of 3 | alpha");
    QTest::keyClick(text, Qt::Key_Return, Qt::ShiftModifier);  // and back
    EXPECT_EQ(state(), "3 of 3 | Alpha");
    pane.findChild<QCheckBox*>("FindCase")->setChecked(true);
    EXPECT_EQ(state(), "1 of 1 | alpha");
    // The count squeezes no text: a module ID fits beside it.
    EXPECT_GE(text->width(), text->fontMetrics().horizontalAdvance("15.268435455"));
    QTest::keyClicks(text, "z");
    EXPECT_EQ(status->text(), "no match");
    pane.clear();  // the count goes with the lines
    EXPECT_TRUE(status->text().isEmpty());
    QTest::keyClick(text, Qt::Key_Escape);
    EXPECT_FALSE(text->isVisible());
}
