#include "cli/ConsolePrompter.h"
#include "cli/SettingKeys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using korva::Answer;
using korva::Buttons;
using korva::Icon;
using korva::cli::ConsolePrompter;
using korva::cli::SettingKeys;
using korva::cli::SettingRequest;

namespace {

struct Streams {
    explicit Streams(const char* input) {
        std::strncpy(in, input, sizeof in - 1);
        inFile = fmemopen(in, std::strlen(in), "r");
        outFile = open_memstream(&outText, &outSize);
    }
    ~Streams() {
        if (inFile)
            std::fclose(inFile);
        std::fclose(outFile);
        std::free(outText);
    }
    std::string out() {
        std::fflush(outFile);
        return std::string(outText, outSize);
    }
    char in[64] = {};
    std::FILE* inFile = nullptr;
    std::FILE* outFile = nullptr;
    char* outText = nullptr;
    std::size_t outSize = 0;
};

} // namespace

TEST(ConsolePrompter, AnswersFromTheFlagTheTerminalOrNo) {
    struct Row {
        bool yes;
        bool interactive;
        const char* typed;
        Answer expected;
    } rows[] = {
        {true, false, "", Answer::Yes},    {false, false, "y\n", Answer::No},
        {false, true, "y\n", Answer::Yes}, {false, true, "n\n", Answer::No},
        {false, true, "", Answer::No}, // end of input
    };
    for (const Row& r : rows) {
        Streams s(r.typed);
        ConsolePrompter p(r.yes, s.inFile, s.outFile, r.interactive);
        EXPECT_EQ(p.message("Are you sure?(Y/N)\n(All settings)", "KORVASet", Icon::Question,
                            Buttons::YesNo),
                  r.expected);
        std::string out = s.out();
        EXPECT_NE(out.find("[KORVASet] Are you sure?(Y/N)\n(All settings)"), std::string::npos);
        EXPECT_NE(out.find(r.expected == Answer::Yes ? "-> Yes" : "-> No"), std::string::npos)
            << out;
    }
}

TEST(ConsolePrompter, MessagesLoseTheirCarriageReturnsAndTheFileAnswerIsUsedOnce) {
    Streams s("");
    ConsolePrompter p(false, s.inFile, s.outFile, false);
    EXPECT_EQ(p.message("Turn on your USB printer\r\nand Try again.", "KORVASet", Icon::Stop,
                        Buttons::Ok),
              Answer::Ok);
    EXPECT_NE(s.out().find("Turn on your USB printer\nand Try again.\n"), std::string::npos);
    p.setInputAnswer(std::string("out.prn"));
    EXPECT_EQ(p.inputText("Print to File", "Input the output file name"), "out.prn");
    EXPECT_EQ(p.inputText("Print to File", "Input the output file name"), std::nullopt);
    EXPECT_EQ(p.messagesShown(), 1);
}

TEST(SettingKeys, ParsingChecksEveryValueBeforeAnythingIsSent) {
    const std::vector<std::string> buffers = {"64", "32", "20", "4"};
    struct Row {
        const char* text;
        bool ok;
    } rows[] = {
        {"margin=0", true},
        {"margin=512", true},
        {"margin=513", false},
        {"margin=-1", false},
        {"margin=", false},
        {"=5", false},
        {"paper_width=58/30", true},
        {"paper_width=58", false},
        {"paper_type=2Color", true},
        {"water_mark=disable", true},
        {"water_mark=255", true},
        {"water_mark=256", false},
        {"cut_position=0", true},
        {"cut_position=on", false},
        {"code_page=254", true},
        {"code_page=255", false},
        {"bell_type=TAVEL Melody 3", true},
        {"bell_times=6", false},
        {"nv_user=384", false},
        {"nv_graphic=384", true},
        {"print_speed=150", true},
        {"receive_buffer=04", false},
        {"receive_buffer=4", true},
        {"setup_code=12345678G", true},
        {"usb_mode=com", true},
        {"sleep_mode=15", true},
        {"density=LEVEL 4", true},
        {"density=5", false},
        {"colour=1", false},
    };
    for (const Row& r : rows) {
        SettingRequest request;
        std::string why;
        EXPECT_EQ(SettingKeys::parse(r.text, buffers, request, why), r.ok) << r.text << ": " << why;
        if (!r.ok) {
            EXPECT_FALSE(why.empty()) << r.text;
        }
    }
    // A profile list that does not read as what its places write: the record goes by the
    // place, so those entries would be written as another size, or not at all.
    const std::vector<std::string> odd = {"16", "32", "20", "4", "8"};
    for (const auto& [text, ok] :
         std::vector<std::pair<const char*, bool>>{{"receive_buffer=16", false},
                                                   {"receive_buffer=8", false},
                                                   {"receive_buffer=32", true}}) {
        SettingRequest request;
        std::string why;
        EXPECT_EQ(SettingKeys::parse(text, odd, request, why), ok) << text << ": " << why;
        EXPECT_EQ(why.find("R_BUF_SZ") != std::string::npos, !ok) << text << ": " << why;
    }
    EXPECT_TRUE(SettingKeys::sameValue("2Color", "2color"));
    EXPECT_TRUE(SettingKeys::sameValue("016", "16"));
    EXPECT_FALSE(SettingKeys::sameValue("58/30", "58/32"));
}

// A long typed line is one answer: what did not fit the read must not answer the next question.
TEST(ConsolePrompter, ALongLineIsOneAnswer) {
    std::string typed = std::string(100, 'y') + "\nn\n";
    std::FILE* in = fmemopen(typed.data(), typed.size(), "r");
    ASSERT_NE(in, nullptr);
    char* outText = nullptr;
    std::size_t outSize = 0;
    std::FILE* out = open_memstream(&outText, &outSize);
    {
        ConsolePrompter p(false, in, out, true);
        EXPECT_EQ(p.message("First?", "Notice", Icon::Question, Buttons::YesNo), Answer::Yes);
        EXPECT_EQ(p.message("Second?", "Notice", Icon::Question, Buttons::YesNo), Answer::No);
    }
    std::fclose(in);
    std::fclose(out);
    std::free(outText);
}
