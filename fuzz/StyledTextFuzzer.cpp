// Feeds arbitrary bytes to the RTF reader and to the HTML reader. The RTF
// written for an HTML document must read back to the document's text.
#include "platform/qt/QtStyledTextConverter.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const kelvo::QtStyledTextConverter converter;
    // The first byte picks the reader, so one corpus serves both.
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1) {
        const auto styled = converter.read(bytes, kelvo::StyledDocumentType::HTML);
        if (!styled)
            return 0;
        if (!styled->rtf)
            std::abort();
        const auto again = kelvo::QtStyledTextConverter::plainTextOfRtf(*styled->rtf);
        if (!again || *again != styled->string)
            std::abort();
    } else {
        // Also as RTF with a valid header, so the fuzzer need not find it.
        (void)converter.read(bytes, kelvo::StyledDocumentType::RTF);
        (void)kelvo::QtStyledTextConverter::plainTextOfRtf("{\\rtf1 " + bytes);
    }
    return 0;
}
