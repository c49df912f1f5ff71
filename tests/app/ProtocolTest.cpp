#include "app/MainWindowFixture.h"

#include <QListWidget>

using ProtocolLog = test::MainWindowFixture;

// The newest line is selected whatever was selected before.
TEST_F(ProtocolLog, KeepsAtMost5001LinesDroppingTheOldestAndSelectsTheNewest)
{
    StartWindow();
    form->lbLog->clear();
    for (int i = 1; i <= 5000; ++i)
        form->AddProtocolLine("line %d", i);
    ASSERT_EQ(form->lbLog->count(), 5000);
    form->AddProtocolLine("line %d", 5001);
    EXPECT_EQ(form->lbLog->count(), 5001);
    EXPECT_EQ(form->lbLog->item(0)->text(), "line 1");
    form->AddProtocolLine("line %d", 5002);
    form->lbLog->setCurrentRow(0);
    form->AddProtocolLine("line %d", 5003);
    EXPECT_EQ(form->lbLog->count(), 5001);
    EXPECT_EQ(form->lbLog->item(0)->text(), "line 3");
    EXPECT_EQ(form->lbLog->item(5000), form->lbLog->currentItem());
    EXPECT_EQ(form->lbLog->currentItem()->text(), "line 5003");
    EXPECT_TRUE(form->lbLog->currentItem()->isSelected());
}

TEST_F(ProtocolLog, FormatsLikePrintfAndShowsOutsideTextUnchanged)
{
    StartWindow();
    form->AddProtocolLine("Traffic has now reached %d%%.", 70);
    form->AddProtocolLine("Dialing error: %u", 4294967295u);
    const char* reply = "good 10.0.0.1 100% %s %n";
    form->AddProtocolLine("DynDNS Update: %s", reply);
    const std::string longText(10000, 'x');
    form->AddProtocolLine("%s", longText.c_str());
    const QStringList lines = Protocol();
    EXPECT_EQ(lines[lines.size() - 4], "Traffic has now reached 70%.");
    EXPECT_EQ(lines[lines.size() - 3], "Dialing error: 4294967295");
    EXPECT_EQ(lines[lines.size() - 2], "DynDNS Update: good 10.0.0.1 100% %s %n");
    EXPECT_EQ(lines.back().size(), 10000); // never cut
}
