#include "base/Language.h"
#include "base/MessageCatalogue.h"

#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <string>

using namespace korva;

TEST(MessageCatalogue, SpotChecksInBothLanguages) {
    MessageCatalogue cat;
    EXPECT_STREQ(cat.text(MsgInputOutputFileName), "Input the output file name!");
    EXPECT_STREQ(cat.text(10), "Turn on your USB printer\r\nand Try again.");
    EXPECT_STREQ(cat.text(50), "Out of range the MAX NV memory Size!\r\nTotal NV Memory Size "
                               "%dKB\r\n(NV User Memory + NV Graphic Memory)");
    EXPECT_STREQ(cat.text(59), "Update Complete.\nPlease wait beep the buzzer.");
    EXPECT_STREQ(cat.text(60), "");
    EXPECT_STREQ(cat.text(-1), "");

    cat.selectLanguage(0x0412);
    EXPECT_TRUE(cat.korean());
    EXPECT_STREQ(cat.text(0), "출력 파일 이름을 입력하세요!");
    EXPECT_STREQ(cat.text(1), "완 료");
    EXPECT_STREQ(cat.text(41), "데이터 수신큐가 가득찼습니다!");
    EXPECT_STREQ(cat.text(56), "시스템 에러. \r\n 이 프로그램을 종료 후, 다시 시작해 주십시오.");
    EXPECT_STREQ(cat.pick("Notice", "알림"), "알림");
}

TEST(MessageCatalogue, TwinEntriesAreAsDocumented) {
    // Entries 20/24 and 44/47 are equal in both tables; 34 and 59 differ only in Korean.
    for (auto [a, b] : {std::pair{20, 24}, std::pair{44, 47}}) {
        EXPECT_STREQ(MessageCatalogue::english(a), MessageCatalogue::english(b));
        EXPECT_STREQ(MessageCatalogue::koreanText(a), MessageCatalogue::koreanText(b));
    }
    EXPECT_STREQ(MessageCatalogue::english(34), MessageCatalogue::english(59));
    EXPECT_STRNE(MessageCatalogue::koreanText(34), MessageCatalogue::koreanText(59));
    for (int i = 0; i < kMessageCount; ++i) {
        EXPECT_GT(std::strlen(MessageCatalogue::english(i)), 0u) << i;
        EXPECT_GT(std::strlen(MessageCatalogue::koreanText(i)), 0u) << i;
    }
}

TEST(MessageCatalogue, OnlyKoreanSwitchesTheTable) {
    MessageCatalogue cat;
    for (std::uint16_t id : {0x0409, 0x0411, 0x0000, 0x0812}) {
        cat.selectLanguage(0x0412);
        cat.selectLanguage(id);
        EXPECT_FALSE(cat.korean()) << std::hex << id;
        EXPECT_STREQ(cat.text(2), "Init Fail");
    }
}

TEST(Language, ForcedIdThenLocaleVariables) {
    auto env = [](std::map<std::string, std::string> vars) {
        return [vars](const char* name) -> const char* {
            auto it = vars.find(name);
            return it == vars.end() ? nullptr : it->second.c_str();
        };
    };
    EXPECT_EQ(systemLanguageId(env({})), 0x0409);
    EXPECT_EQ(systemLanguageId(env({{"KORVASET_LANGID", "0x0412"}, {"LANG", "C"}})), 0x0412);
    EXPECT_EQ(systemLanguageId(env({{"KORVASET_LANGID", "1042"}})), 0x0412);
    EXPECT_EQ(systemLanguageId(env({{"KORVASET_LANGID", "bogus"}, {"LANG", "ja_JP.UTF-8"}})),
              0x0411);
    EXPECT_EQ(systemLanguageId(env({{"LANG", "ko_KR.UTF-8"}})), 0x0412);
    EXPECT_EQ(systemLanguageId(env({{"LC_ALL", "en_US.UTF-8"}, {"LANG", "ko_KR.UTF-8"}})), 0x0409);
    EXPECT_EQ(systemLanguageId(env({{"LC_ALL", ""}, {"LC_MESSAGES", "ko_KR"}})), 0x0412);
    EXPECT_EQ(systemLanguageId(env({{"LANG", "kok_IN"}})), 0x0409) << "Konkani is not Korean";
}
