#include "logo/LogoCaptions.h"

#include "base/MessageCatalogue.h"

namespace korva {

LogoCaptions LogoCaptions::make(bool korean) {
    auto pick = [korean](const char* english, const char* koreanText) -> std::string {
        return korean ? koreanText : english;
    };
    LogoCaptions c;
    c.title = kTitleLogoSetup;
    c.pageTitles[0] = "Select Bitmap";
    c.pageTitles[1] = "Preview Bitmap";
    c.pageTitles[2] = "Upload Bitmap";
    c.pageTitles[3] = "Print Bitmap";
    c.pageTitles[4] = "Setup";
    c.ok = pick("OK", "확인");
    c.cancel = pick("Cancel", "취소");

    c.bitmapList[0] = pick("&Bitmap List", "비트맵 목록");
    c.bitmapList[1] = pick("&Bitmap List", "비트맵 목록");
    c.bitmapList[2] = pick("&Bitmap List", "이미지 목록");
    c.imageCount = pick("Number of Image Files", "이미지 파일 갯수");
    c.imageMemory = pick("Total Image File Size", "전체 이미지 파일 크기");

    c.openFile = pick("&Open File...", "파일 열기");
    c.remove = pick("Re&move", "삭제");
    c.reset = pick("&Reset", "초기화");
    c.centreGroup = "Auto Center Align Check";
    c.centreText = " Check the item for automatic center align image.";

    c.previewQualityGroup = "Q&uality";
    c.previewQuality[0] = pick("&Normal", "일반");
    c.previewQuality[1] = pick("&Quadraple", "가로2배 / 세로2배");
    c.previewQuality[2] = pick("Double &Height", "세로 2배");
    c.previewQuality[3] = pick("Double &Width", "가로 2배");

    c.upload = pick("&Upload", "전송");
    c.printerDetails = pick("Printer Details", "프린터 정보");
    c.printerName = pick("Printer Name", "프린터 이름");
    c.portName = pick("Port Name", "프린터 포트");

    c.print = pick("&Print", "인쇄");
    c.rangeGroup = "Printing &Range";
    c.all = pick("All", "전체");
    c.selection = pick("Selection", "선택");
    c.printQualityGroup = pick("Q&uality", "크기");
    c.printQuality[0] = pick("&Normal", "일반");
    c.printQuality[1] = pick("Double &Width", "가로 2배");
    c.printQuality[2] = pick("Double &Height", "세로 2배");
    c.printQuality[3] = pick("&Quadraple", "가로2배 / 세로2배");
    c.headerGroup = pick("Hea&der", "제목");
    c.noHeader = pick("No Header", "제목 없음");
    c.addHeader = pick("Add Header", "제목 인쇄");

    c.printToFile = pick("Print To File", "파일로 출력");
    c.grayPrinting = pick("Use Gray Printing", "농도조절인쇄");
    c.starEmulation = pick("Use Star Emulation", "STAR 에뮬레이션");
    c.aboutGroup = pick("About", "정보");
    c.aboutName = pick("Bitmap Image downloader ", "비트맵 이미지 전송");
    c.aboutBrand = "Tavel";
    c.optionGroup = pick("Option Setting", "설정");
    c.maxArea = pick("Max Printable Area :", "인쇄 가능 영역");
    c.maxAreaUnit = "dots(1~512)";
    c.threshold = "Black / White diverging point (0~255)";
    c.deviceGroup = pick("Device", "프린터 정보");

    c.uploadingTitle = "Uploading";
    c.printingTitle = "Printing";
    c.dialogCancel = "Cancel";
    return c;
}

} // namespace korva
