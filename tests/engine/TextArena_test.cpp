#include "TextArena.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kest::TextArena;

TEST(TextArena, ShortTextsShareOneBuffer)
{
    TextArena arena;
    const auto a = arena.store("alpha");
    const auto b = arena.store("beta");
    EXPECT_EQ(arena.text(a), "alpha");
    EXPECT_EQ(arena.text(b), "beta");
    EXPECT_EQ(arena.bufferCount(), 1u);
}

TEST(TextArena, EmptyTextTakesNoSpace)
{
    TextArena arena;
    const auto empty = arena.store("");
    EXPECT_EQ(arena.text(empty), "");
    EXPECT_EQ(arena.text(TextArena::Span{}), "");
    EXPECT_EQ(arena.bufferCount(), 0u);
}

TEST(TextArena, LongTextGetsItsOwnBufferAndShortOnesGoOnInTheShared)
{
    TextArena arena;
    const auto before = arena.store("before");
    const std::string longText(TextArena::BufferSize, 'x');
    const auto big = arena.store(longText);
    const auto after = arena.store("after");
    EXPECT_EQ(arena.text(big), longText);
    EXPECT_EQ(arena.text(before), "before");
    EXPECT_EQ(arena.text(after), "after");
    EXPECT_EQ(arena.bufferCount(), 2u);
    EXPECT_EQ(after.buffer, before.buffer);
}

TEST(TextArena, AFullBufferIsFollowedByANewOne)
{
    TextArena arena;
    const std::string quarter(TextArena::BufferSize / 4, 'q');
    std::vector<TextArena::Span> spans;
    for (int i = 0; i < 5; ++i)
        spans.push_back(arena.store(quarter));
    EXPECT_EQ(arena.bufferCount(), 2u);
    for (const auto &span : spans)
        EXPECT_EQ(arena.text(span), quarter);
    arena.clear();
    EXPECT_EQ(arena.bufferCount(), 0u);
}
