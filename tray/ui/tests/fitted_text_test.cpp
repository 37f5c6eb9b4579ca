// Shortening the names and paths of a text until it fits a place, judged
// here by a length the text may not pass.
#include <gtest/gtest.h>

#include "ui/fitted_text.h"

namespace {

std::function<bool(const std::wstring&)> at_most(size_t length) {
    return [length](const std::wstring& text) { return text.size() <= length; };
}

const text_parts question = {
    {L"File '", false},
    {L"Minutes of the annual meeting, part one to part forty.txt", true},
    {L"' is new.\r\nLocal path: ", false},
    {L"/home/ann/Documents/Meetings", true},
    {L"\r\nWould you like to upload it?", false},
};

TEST(FittedText, OnlyTheLongestShortenablePartsAreCutInTheirMiddleAndNoMoreThanNeeded) {
    const std::wstring whole = JoinParts(question);
    EXPECT_EQ(JoinParts(ShortenToFit(question, at_most(whole.size()))), whole);

    // Twenty characters too many come out of the name, whose start and
    // extension stay; the shorter path and the sentence stay whole.
    const text_parts cut = ShortenToFit(question, at_most(whole.size() - 20));
    ASSERT_EQ(cut.size(), question.size());
    const std::wstring name = cut[1].text;
    EXPECT_LE(JoinParts(cut).size(), whole.size() - 20);
    EXPECT_EQ(JoinParts(cut).size(), whole.size() - 20) << "cut more than needed";
    EXPECT_NE(name.find(L"..."), std::wstring::npos) << std::string(name.begin(), name.end());
    EXPECT_EQ(name.substr(0, 12), L"Minutes of t");
    EXPECT_EQ(name.substr(name.size() - 6), L"ty.txt");
    EXPECT_EQ(cut[3].text, question[3].text);
    for (size_t fixed : {0u, 2u, 4u}) EXPECT_EQ(cut[fixed].text, question[fixed].text);

    // Tighter still, the path is cut to the name's length too.
    const text_parts tighter = ShortenToFit(question, at_most(whole.size() - 60));
    EXPECT_LE(JoinParts(tighter).size(), whole.size() - 60);
    EXPECT_EQ(tighter[1].text.size(), tighter[3].text.size());
    EXPECT_EQ(tighter[3].text.substr(0, 5), L"/home");
    EXPECT_EQ(tighter[3].text.substr(tighter[3].text.size() - 4), L"ings");
}

TEST(FittedText, WhatNothingMakesFitIsCutToTheShortestForm) {
    const text_parts shortest = ShortenToFit(question, at_most(10));
    EXPECT_EQ(shortest[1].text, L"Mi...xt");
    EXPECT_EQ(shortest[3].text, L"/h...gs");
    EXPECT_EQ(shortest[4].text, question[4].text);
}

}  // namespace
