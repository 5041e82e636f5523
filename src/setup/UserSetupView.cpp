#include "setup/UserSetupView.h"

namespace korva {

std::string ListView::text() const {
    if (selected < 0 || selected >= static_cast<int>(items.size()))
        return "";
    return items[static_cast<std::size_t>(selected)];
}

namespace {

void pair(RadioPairView& r, const char* first, const char* second) {
    r.first = first;
    r.second = second;
}

} // namespace

void setUserSetupCaptions(UserSetupView& v, bool korean) {
    // English first; the Korean captions then replace those the screen translates.
    v.frameTitle = "SELECT USER SETUP FUNCTION";
    v.paperWidthLabel.text = "Paper Width && Max. Column";
    pair(v.paperWidth, "80mm", "58mm");
    v.paperTypeLabel.text = "Paper Type";
    pair(v.paperType, "Black", "2Color");
    v.waterMarkLabel.text = "Water Mark Function";
    pair(v.waterMark, "Disable", "Enable");
    v.imageLabel.text = "Image#";
    v.cutPositionLabel.text = "Cutting postion adjustment Function";
    pair(v.cutPosition, "OFF", "ON");
    v.linesLabel.text = "Lines";
    v.drawerWithCutLabel.text = "Drawer open with cutting";
    pair(v.drawerWithCut, "Disable", "Enable");
    v.bellTypeLabel.text = "Kitchen Bell Type && Length";
    v.codePageLabel.text = "Default Code Page";
    v.nvGraphicLabel.text = "NV Graphic Memory Size";
    v.nvUserLabel.text = "NV User Memory Size";
    v.cuttingModeLabel.text = "Cutting Mode Select";
    pair(v.cuttingMode, "Partial", "Full Cut");
    v.speedLabel.text = "Max Print Speed";
    v.marginLabel.text = "Set Left Paper Margin";
    v.marginUnit.text = "dot (0 ~ 512)";
    v.drawerSelfTestLabel.text = "Drawer Open In Self-Test";
    pair(v.drawerSelfTest, "Enable", "Disable");
    pair(v.boldKorean, "OFF", "ON");
    v.receiveBufferLabel.text = "Receive Buffer Size";
    v.stopBitLabel.text = "STOP BIT(COM PORT)";
    pair(v.stopBit, "ONE", "TWO");
    v.setupCodeLabel.text = "Customize Setup Code";
    v.newOptionGroup.text = "New Option";
    v.emulationLabel.text = "Emulation";
    pair(v.emulation, "EPSON", "STAR");
    v.densityLabel.text = "Density";
    v.autoCutLabel.text = "AutoCut";
    pair(v.autoCutter, "ON", "OFF");
    v.selfTestLabel.text = "SELF-TEST";
    pair(v.selfTestKey, "Self-Test", "HexaDump");
    v.kitchenBellLabel.text = "Kitchen Bell";
    pair(v.kitchenBell, "OFF", "ON");
    v.usbModeLabel.text = "USB mode";
    pair(v.usbMode, "USB", "COM");
    v.paperSaveLabel.text = "Paper Save Mode";
    v.sleepLabel.text = "Sleep mode";
    pair(v.receiveError, "Print '?'", "IGNORE");
    v.load.caption = "Load";
    v.save.caption = "Save";
    v.getValue.caption = "Get Value";
    v.setValue.caption = "Set Value";
    v.test.caption = "TEST";
    v.defaults.caption = "Default";
    v.exit.caption = "EXIT";
    if (!korean)
        return;

    v.frameTitle = "사용자 설정";
    v.paperWidthLabel.text = "용지 폭";
    v.paperTypeLabel.text = "용지 종류";
    pair(v.paperType, "검정", "2 색");
    v.waterMarkLabel.text = "워터마크 기능";
    pair(v.waterMark, "사용안함", "사용");
    v.imageLabel.text = "이미지#";
    v.cutPositionLabel.text = "용지 절단 위치 조정";
    pair(v.cutPosition, "사용안함", "사용");
    v.drawerWithCutLabel.text = "용지 절단시 돈통 열기";
    pair(v.drawerWithCut, "사용안함", "사용");
    v.bellTypeLabel.text = "주방벨 종류 / 횟수";
    v.codePageLabel.text = "기본 문자";
    v.nvGraphicLabel.text = "내장 그래픽 메모리 크기";
    v.nvUserLabel.text = "내장 사용자 메모리 크기";
    v.cuttingModeLabel.text = "절단 모드";
    pair(v.cuttingMode, "일부", "전체");
    v.speedLabel.text = "인쇄 최고 속도";
    v.marginLabel.text = "용지 좌측 여백";
    v.drawerSelfTestLabel.text = "Self-Test시 돈통 열기";
    pair(v.drawerSelfTest, "사용", "사용안함");
    v.receiveBufferLabel.text = "수신 버퍼 크기";
    v.stopBitLabel.text = "스톱 비트 (COM)";
    v.emulationLabel.text = "동작모드";
    pair(v.emulation, "엡손", "스타");
    v.densityLabel.text = "인쇄농도";
    v.autoCutLabel.text = "자동절단기";
    pair(v.autoCutter, "사용", "사용안함");
    pair(v.selfTestKey, "셀프테스트", "16진수인쇄");
    v.kitchenBellLabel.text = "주방벨";
    pair(v.kitchenBell, "사용안함", "사용");
    v.usbModeLabel.text = "USB동작";
    pair(v.usbMode, "USB통신", "가상시리얼");
    v.paperSaveLabel.text = "용지절약모드";
    v.sleepLabel.text = "절전모드";
    v.getValue.caption = "설정 읽기";
    v.setValue.caption = "설정 쓰기";
    v.test.caption = "테스트";
    v.defaults.caption = "기본값";
    v.exit.caption = "취소";
}

} // namespace korva
