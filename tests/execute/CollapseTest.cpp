// Carriage-return collapse of progress rewrites, on bytes, across updates.
#include "dialogs/DlgExecute.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// Feeds the pieces as successive updates, the way the window's timer does.
std::string Collapse(std::initializer_list<std::string> updates)
{
    std::string block;
    for (const std::string& u : updates)
    {
        int from = static_cast<int>(block.size());
        block += u;
        int size = CDlgExecute::CollapseCR(reinterpret_cast<unsigned char*>(&block[0]), static_cast<int>(block.size()), from);
        block.resize(static_cast<size_t>(size));
    }
    return block;
}

TEST(CollapseCR, ALineShowsAtMostItsLastTwoSegments)
{
    EXPECT_EQ(Collapse({"1\r2\r3\r\n"}), "3\r\n");
    EXPECT_EQ(Collapse({"1\r2\r3\r4\r\n"}), "3\r4\r\n");
    EXPECT_EQ(Collapse({"A\r\n1\r2\r3\r\nB"}), "A\r\n3\r\nB");
}

TEST(CollapseCR, CrLfPairsAndEarlierLinesAreNeverTouched)
{
    EXPECT_EQ(Collapse({"one\r\ntwo\r\n\r\nthree"}), "one\r\ntwo\r\n\r\nthree");
    EXPECT_EQ(Collapse({"a\r\n", "b\rc\rd\r\n"}), "a\r\nd\r\n");
    EXPECT_EQ(Collapse({""}), "");
}

TEST(CollapseCR, CrEndingOneUpdateAndLfStartingTheNextAreOneLineBreak)
{
    // Judged too early, the trailing CR would look like a second rewrite and wipe "A\rB".
    EXPECT_EQ(Collapse({"A\rB\r", "\nC\r\n"}), "A\rB\r\nC\r\n");
    EXPECT_EQ(Collapse({"10%\r", "20%\r", "30%\r", "\n"}), "30%\r\n");
}

TEST(CollapseCR, ProgressSplitAcrossManyUpdatesEndsLikeInOneGo)
{
    std::string whole = "Starting\r\n[==  10%]\r[====  20%]\r[======  30%]\r[=========100%]\r\nDone\r\n";
    std::string expected = Collapse({whole});
    std::initializer_list<std::string> pieces = {"Starting\r", "\n[==  10%]\r[===", "=  20%]\r", "[======  30%]",
                                                 "\r[=========100%]\r", "\nDone\r\n"};
    EXPECT_EQ(Collapse(pieces), expected);
    EXPECT_EQ(expected, "Starting\r\n[======  30%]\r[=========100%]\r\nDone\r\n");
}

} // namespace
