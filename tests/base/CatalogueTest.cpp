#include "base/Language.h"
#include "base/MessageCatalogue.h"

#include <cstring>
#include <gtest/gtest.h>
#include <iterator>
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

// Every entry of both tables, as the catalogue must show it: the one list the tests hold.
struct CatalogueEntry {
    int number;
    const char* english;
    const char* korean;
};
constexpr CatalogueEntry kExpectedEntries[] = {
    {0, "Input the output file name!", "출력 파일 이름을 입력하세요!"},
    {1, "COMPLETED", "완 료"},
    {2, "Init Fail", "Initial 실패."},
    {3, "File open error!!", "File 열기 에러!!"},
    {4, "Error! Not found extened font data in file.",
     "확장 폰트 데이터가 해당 파일에 존재하지 않습니다."},
    {5, "Baudrate is not selected!", "Baudrate를 선택하십시오."},
    {6, "Data length is not selected!", "Data length 를 선택하십시오."},
    {7, "Parity type is not selected!", "Parity type 을 선택하십시오."},
    {8, "Flow control is not selected!", "흐름제어 방법을 선택하십시오."},
    {9, "Invalid Device!", "알수없는 장치입니다."},
    {10, "Turn on your USB printer\r\nand Try again.", "USB 프린터를 켜고 재시도 하십시오."},
    {11, "KorvaTool support only One device.\r\nThere are too many device connected!",
     "KorvaTool은 하나의 USB장치만을 사용 할 수 있습니다.\r\n나머지 장치를 제거하십시오."},
    {12, "Not exist LPT port on your system.", "시스템에 LPT포트가 존재하지 않습니다."},
    {13, "Not exist COM port on your system.", "시스템에 COM포트가 존재하지 않습니다."},
    {14, "BMP file does not selected.", "Bitmap 파일을 선택하십시오."},
    {15, "Reseting the file. \nContinue it?", "목록을 초기화 합니다. \n계속 하시겠습니까?"},
    {16, "Out of memory.", "Memory 용량 초과"},
    {17, "All bit image files are written in the NV Graphics memory of the printer.",
     "프린터의 기존 모든 이미지 데이터는 삭제됩니다."},
    {18, "ERROR : Port open.", "ERROR - 포트 열기."},
    {19, "ERROR[%d] - Open port or file.", "ERROR[%d] - Open port or file."},
    {20, "ERROR : Printer check.", "ERROR - 프린터 확인"},
    {21, "Complete the NV bit image definition.\r\nPlease wait some paper feed.",
     "Bitmap 이미지 전송 완료.\r\n약간의 용지 이송이 있을때까지 기다리십시오."},
    {22, "ERROR : Write to port.", "ERROR - 포트 쓰기."},
    {23, "No file selected. \r\nThis work delete all bitmap image in your printer.",
     "파일이 선택되지 않았습니다. \r\n프린터의 모든 이미지가 삭제됩니다."},
    {24, "ERROR : Printer check.", "ERROR - 프린터 확인"},
    {25, "NV image number is incorrect.", "이미지 번호가 맞지 않습니다."},
    {26, "GetOverlappedResult (write) failed", "쓰기 실패"},
    {27, "ERROR : Receive data.", "ERROR - 데이터 수신."},
    {28, "ERROR : Comm.", "ERROR - Comm."},
    {29, "Port is not opened!", "포트가 열려있지 않습니다."},
    {30, "ERROR : CreateEvent for osRead.", "ERROR - CreateEvent for osRead."},
    {31, "ERROR : CreateEvent for osWrite.", "ERROR - CreateEvent for osWrite."},
    {32, "ERROR : PRINTER IS NOT READY!", "ERROR - 프린터가 준비되지 않았습니다."},
    {33, "LPT Write Error[%d]", "쓰기 에러[%d]"},
    {34, "Update Complete.\nPlease wait beep the buzzer.",
     "업데이트 완료.\n부저음이 5회 울리고 프린터가 자동으로 꺼질때까지 기다리십시오."},
    {35, "Are you sure the Boot area download?", "Boot 영역을 다운로드 하시겠습니까?"},
    {36, "Are you sure the Downloader area download?", "Downloader 영역을 다운로드 하시겠습니까?"},
    {37, "Are you sure the Ext.Font area download?", "확장 폰트 영역을 다운로드 하시겠습니까?"},
    {38, "ERROR : File is not firmware file!", "ERROR - 펌웨어 파일 형식이 다릅니다."},
    {39, "ERROR : File is not include Ext.font data.",
     "ERROR - 확장 폰트 데이터가 존재하지 않습니다."},
    {40, "ERROR : while creating ThreadWatchComm.", "쓰레드 생성 실패."},
    {41, "m_QueueRead FULL!", "데이터 수신큐가 가득찼습니다!"},
    {42, "Communication error. Can not transimitted.", "통신 에러. 데이터 전송이 불가능 합니다."},
    {43, "Can't Read files any more!", "파일을 읽을 수 없습니다."},
    {44, "Bitmap files that was defined with Log file is incorrect.",
     "Log 파일에 저장된 Bitmap파일이 존재하지 않습니다."},
    {45, "It is not support bitmap format!", "지원하지 않는 Bitmap 형식입니다."},
    {46, "NV-bitimage area too small", "NV 메모리가 부족합니다."},
    {47, "Bitmap files that was defined with Log file is incorrect.",
     "Log 파일에 저장된 Bitmap파일이 존재하지 않습니다."},
    {48, "ERROR : Write Fail!\nPlease check the printer power or connection",
     "쓰기 실패. 프린터의 전원이나 연결 케이블을 확인하십시오."},
    {49, "Are you sure?(Y/N)\n(All settings will be set to default.)",
     "모든 설정을 기본값으로 바꾸시겠습니까?"},
    {50,
     "Out of range the MAX NV memory Size!\r\nTotal NV Memory Size %dKB\r\n(NV User Memory + NV "
     "Graphic Memory)",
     "최대 NV메모리 사이즈를 초과했습니다.\r\n최대 NV Memory Size %dKB\r\n(NV User Memory + NV "
     "Graphic Memory)"},
    {51, "In the Gray Print mode, not support under 8bit color depth bitmap image.\r\n(%s)",
     "Gray Print mode 에서는 256컬러 이상의 Bitmap파일만 지원됩니다.\r\n(%s)"},
    {52, "ERROR : Cannot create receive thread!",
     "ERROR - 데이터 수신 쓰레드를 생성할 수 없습니다."},
    {53, "Stop Bit is not selected", "Stop Bit를 선택하십시오."},
    {54, "If you change the stop bit configuration,\r\nthis program maybe do not work correctly.",
     "Stop Bit설정을 변경 할 경우,\r\n현재 프로그램이 정상 동작 하지 않을 수 있습니다."},
    {55, "Please enter PORT number between 1024 ~ 65534.",
     "포트번호는 1024 ~ 65534 범위의 값으로 입력해 주시기 바랍니다."},
    {56, "System Error. Please restart this program.",
     "시스템 에러. \r\n 이 프로그램을 종료 후, 다시 시작해 주십시오."},
    {57, "The printer has finished searching.", "프린터 검색이 완료되었습니다."},
    {58, "Do you want to change the Network Settings?.",
     "프린터의 네트워크 설정을 변경하시겠습니까?"},
    {59, "Update Complete.\nPlease wait beep the buzzer.",
     "업데이트 완료.\n 부저음이 2회 울리고 프린터가 자동으로 꺼질때까지 기다리십시오."},
};

TEST(MessageCatalogue, EveryEntryInBothLanguages) {
    static_assert(std::size(kExpectedEntries) == kMessageCount);
    MessageCatalogue english;
    MessageCatalogue korean;
    korean.selectLanguage(0x0412);
    for (const CatalogueEntry& e : kExpectedEntries) {
        EXPECT_STREQ(english.text(e.number), e.english) << "entry " << e.number;
        EXPECT_STREQ(korean.text(e.number), e.korean) << "entry " << e.number;
        EXPECT_STREQ(MessageCatalogue::english(e.number), e.english) << "entry " << e.number;
        EXPECT_STREQ(MessageCatalogue::koreanText(e.number), e.korean) << "entry " << e.number;
    }
    for (int outside : {-1, kMessageCount, 1000}) {
        EXPECT_STREQ(english.text(outside), "") << outside;
        EXPECT_STREQ(korean.text(outside), "") << outside;
    }
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
    // A forced id is a whole number or nothing: a number with more after it is no id.
    EXPECT_EQ(systemLanguageId(env({{"KORVASET_LANGID", "1042x"}, {"LANG", "C"}})), 0x0409);
    EXPECT_EQ(systemLanguageId(env({{"KORVASET_LANGID", "0x0412 "}, {"LANG", "C"}})), 0x0409);
    EXPECT_EQ(systemLanguageId(env({{"KORVASET_LANGID", "0x10412"}, {"LANG", "C"}})), 0x0409);
    EXPECT_EQ(systemLanguageId(env({{"LANG", "ko_KR.UTF-8"}})), 0x0412);
    EXPECT_EQ(systemLanguageId(env({{"LC_ALL", "en_US.UTF-8"}, {"LANG", "ko_KR.UTF-8"}})), 0x0409);
    EXPECT_EQ(systemLanguageId(env({{"LC_ALL", ""}, {"LC_MESSAGES", "ko_KR"}})), 0x0412);
    EXPECT_EQ(systemLanguageId(env({{"LANG", "kok_IN"}})), 0x0409) << "Konkani is not Korean";
}
