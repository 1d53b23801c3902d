// kp70ctl logo: convert bitmaps to printer dots, upload them to the printer's NV graphics
// memory, delete them, print stored logos and show the stored list.
#include <CLI/CLI.hpp>
#include <fstream>
#include <memory>
#include <ostream>
#include <vector>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "cli/PngFile.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Outcome.h"
#include "core/app/Profile.h"
#include "core/logo/BitImageConversion.h"
#include "core/logo/LogoBitmap.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOptions.h"
#include "core/logo/LogoSelection.h"
#include "core/logo/LogoSession.h"
#include "core/logo/LogoTexts.h"
#include "core/logo/NvCommands.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

// The options named after the Setup page.
struct ConversionOptions {
    bool gray = false;
    int diverging = 128;
    int area = 0;  // 0: the model's default
    bool star = false;
};

struct ConvertOptions {
    ConversionOptions conversion;
    std::string file;
    std::string png;
    std::string raw;
    bool center = false;
};

struct UploadOptions {
    ConnectionOptions connection;
    ConversionOptions conversion;
    std::vector<std::string> files;
    std::string center;
};

struct PrintOptions {
    ConnectionOptions connection;
    bool all = false;
    std::string select;
    std::string size = "normal";
    bool header = false;
    bool star = false;
};

struct DeleteOptions {
    ConnectionOptions connection;
    bool star = false;
};

struct ListOptions {
    bool json = false;
};

void AddConversionOptions(CLI::App& verb, ConversionOptions& options) {
    verb.add_flag("--gray", options.gray, "Use Gray Printing: 4-bit gray images");
    verb.add_option("--diverging", options.diverging,
                    "Black / White diverging point (0~255), default 128")
        ->check(CLI::Range(0, 255));
    verb.add_option("--area", options.area,
                    "Max Printable Area in dots (1~512) that centred images use, default 512 "
                    "(384 on TALVO10)")
        ->check(CLI::Range(1, 512));
}

LogoOptions MakeLogoOptions(const ConversionOptions& c, int modelCode) {
    LogoOptions options;
    options.ResetToDefaults(modelCode);
    options.grayPrinting = c.gray;
    options.divergingPoint = c.diverging;
    if (c.area > 0) options.maxPrintableArea = c.area;
    options.starEmulation = c.star;
    return options;
}

// The success message goes to stdout, everything else to stderr.
void Report(CliContext& context, const std::vector<Notice>& notices) {
    for (const Notice& n : notices) {
        (n.number == msg::kUploadComplete ? context.out : context.err)
            << NoticeText(context, n) << "\n";
    }
}

// The printer the options name, taken by the links (a USB printer is searched for first);
// the logo sessions open and check it themselves.
bool ChoosePrinter(CliContext& context, const ConnectionOptions& options, CliLinks& links,
                   PrinterChoice& choice, int& exitCode) {
    std::string why;
    if (!ResolveConnection(options, choice, context.catalogue, why)) {
        context.err << "kp70ctl logo: " << why << "\n";
        exitCode = kExitUsage;
        return false;
    }
    if (!links.Choose(choice, why)) {
        context.err << why << "\n";
        exitCode = kExitFailed;
        return false;
    }
    return true;
}

// The exit status of a logo job.
int ExitOf(const Outcome& outcome) {
    if (outcome.status == OutcomeStatus::Cancelled) return kExitInterrupted;
    return outcome.ok() ? kExitDone : kExitFailed;
}

// ---- logo convert ----

int RunConvert(const ConvertOptions& o, CliContext& context) {
    if (o.png.empty() && o.raw.empty()) {
        context.err << "kp70ctl logo convert: give --png OUT.png and/or --raw OUT.bin\n";
        return kExitUsage;
    }
    const LogoOptions options = MakeLogoOptions(o.conversion, 0);
    auto bitmap = std::make_unique<LogoBitmap>();
    if (!bitmap->LoadBitmap(o.file)) {
        context.err << o.file << ": " << bitmap->LastError() << "\n";
        return kExitFailed;
    }
    if (!FitsNvImage(bitmap->PaddedWidth(), bitmap->PaddedHeight(), options.grayPrinting)) {
        context.err << o.file
                    << ": the image is too large for the printer (an NV image holds at most "
                    << LogoList::kCapacityBytes << " bytes of data)\n";
        return kExitFailed;
    }
    if (options.grayPrinting) {
        ConvertGray(*bitmap, options);
    } else {
        ConvertMono(*bitmap, options, o.center);
    }
    const int width = bitmap->PaddedWidth();
    const int height = bitmap->PaddedHeight();
    const auto header = NvImageHeader(width, height, options.grayPrinting);
    const std::uint8_t* data = bitmap->OutputBuffer();
    const int length = bitmap->OutputLength();

    std::string why;
    if (!o.png.empty()) {
        // The printer's dots: black dots, gray levels as grays, white elsewhere.
        if (!WriteGrayPng(o.png, width, height, DotsAsGray(*bitmap, options.grayPrinting), why)) {
            context.err << why << "\n";
            return kExitFailed;
        }
    }
    if (!o.raw.empty()) {
        std::ofstream out(o.raw, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(header.data()), 4);
        out.write(reinterpret_cast<const char*>(data), length);
        if (!out) {
            context.err << o.raw << ": the file could not be written\n";
            return kExitFailed;
        }
    }
    char line[160];
    std::snprintf(line, sizeof line, "%d x %d dots, header %02X %02X %02X %02X, %d data bytes\n",
                  width, height, header[0], header[1], header[2], header[3], length);
    context.out << line;
    return kExitDone;
}

// ---- logo upload / delete-all ----

int RunUpload(const UploadOptions& o, CliContext& context) {
    PrinterChoice target;
    std::string why;
    if (!ResolveConnection(o.connection, target, context.catalogue, why)) {
        context.err << "kp70ctl logo upload: " << why << "\n";
        return kExitUsage;
    }
    LogoOptions options = MakeLogoOptions(o.conversion, target.settings.modelCode);
    if (options.grayPrinting && !LogoOptions::GrayOffered(target.settings.modelCode)) {
        context.err << "kp70ctl logo upload: TALVO10 printers cannot print gray images\n";
        return kExitUsage;
    }
    LogoList list;
    list.SetGrayPrinting(options.grayPrinting);
    for (const std::string& file : o.files) {
        const AddBitmapResult added = list.AddBitmap(0, file);
        if (!added.accepted) {
            if (added.message) {
                Notice m = *added.message;
                m.detail = file + ": " + added.reason;
                Report(context, {m});
            } else {
                context.err << file << ": " << added.reason << "\n";
            }
            return kExitFailed;
        }
    }
    if (!o.center.empty()) {
        if (!ValidateSelection(o.center)) {
            context.err << "kp70ctl logo upload: --center wants file positions such as "
                           "\"1,3-4\" (1 is the first file given)\n";
            return kExitUsage;
        }
        const LogoSelection rows = ParseSelection(o.center);
        for (std::size_t i = 0; i < rows.tokens.size(); ++i) {
            int first = rows.tokens[i];
            int last = first;
            if (first > 256) {
                first = last = first - 256;
            } else {
                last = rows.tokens[++i];
            }
            for (int row = first; row <= last && row <= list.Count(); ++row) {
                list.SetCenter(list.Entries()[static_cast<std::size_t>(row - 1)].number, true);
            }
        }
    }
    if (NvMemoryTooSmall(target.settings.modelCode, list.UsedKB())) {
        context.err << texts::kNoticeCaption << ": " << logotext::kTalvo30Notice << "\n";
        return kExitFailed;
    }

    CliLinks links(context);
    if (!links.Choose(target, why)) {
        context.err << why << "\n";
        return kExitFailed;
    }
    Profile profile(context.profilePath);
    InterruptCancels interrupt;
    UploadCallbacks callbacks;
    int lastStep = 0;
    callbacks.progress = [&](const UploadProgress& p) {
        if (p.step != lastStep && p.step > 0) {
            lastStep = p.step;
            context.err << "image " << p.step << "/" << p.count << ": " << p.fileName << "\n";
        }
    };
    UploadResult upload;
    const Outcome outcome = UploadLogos(links.Factory(), *context.clock, &links.Log(), list,
                                        options, &profile, callbacks, interrupt.Token(), &upload);
    Report(context, outcome.notices);
    if (outcome.status == OutcomeStatus::Cancelled) {
        context.err << "kp70ctl logo upload: cancelled\n";
    }
    return ExitOf(outcome);
}

int RunDeleteAll(const DeleteOptions& o, CliContext& context) {
    CliLinks links(context);
    PrinterChoice target;
    int exitCode = kExitDone;
    if (!ChoosePrinter(context, o.connection, links, target, exitCode)) return exitCode;
    InterruptCancels interrupt;
    const Outcome outcome = DeleteAllLogos(links.Factory(), *context.clock, interrupt.Token());
    Report(context, outcome.notices);
    return ExitOf(outcome);
}

// ---- logo print ----

int RunPrint(const PrintOptions& o, CliContext& context) {
    if (o.all == !o.select.empty()) {
        context.err << "kp70ctl logo print: give either --all or --select LIST\n";
        return kExitUsage;
    }
    if (!o.all && !ValidateSelection(o.select)) {
        Report(context, {Notice::Message(msg::kSelectionIncorrect, MessageIcon::Exclamation)});
        return kExitUsage;
    }
    if (!o.connection.file.empty()) {
        context.err << "kp70ctl logo print: printing stored logos needs a printer, not --file\n";
        return kExitUsage;
    }
    PrintRequest request;
    request.all = o.all;
    request.header = o.header;
    request.starEmulation = o.star;
    const std::vector<std::string> sizes = {"normal", "double-width", "double-height", "quadruple"};
    for (std::size_t m = 0; m < sizes.size(); ++m) {
        if (o.size == sizes[m]) request.mode = static_cast<NvPrintMode>(m);
    }

    CliLinks links(context);
    PrinterChoice target;
    int exitCode = kExitDone;
    if (!ChoosePrinter(context, o.connection, links, target, exitCode)) return exitCode;
    InterruptCancels interrupt;
    const Outcome outcome =
        PrintLogos(links.Factory(), *context.clock, request, o.select, {}, interrupt.Token());
    Report(context, outcome.notices);
    if (outcome.ok()) context.out << "printed " << outcome.count << " images\n";
    return ExitOf(outcome);
}

// ---- logo list ----

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int RunList(const ListOptions& o, CliContext& context) {
    LogoList list;
    const Profile profile(context.profilePath);
    // A profile that cannot be read is no empty list: it was said before the verb ran.
    if (!profile.ReadProblem().empty()) return kExitFailed;
    Report(context, list.LoadStoredList(profile));
    // Sized as the printer holds them.
    if (list.StoredGray()) list.SetGrayPrinting(true);
    if (o.json) {
        context.out << "{\"count\": " << list.Count() << ", \"totalBytes\": " << list.TotalBytes()
                    << ", \"capacityKB\": " << LogoList::kCapacityKB
                    << ", \"gray\": " << (list.StoredGray() ? "true" : "false")
                    << ", \"failed\": [";
        for (std::size_t i = 0; i < list.FailedNumbers().size(); ++i) {
            context.out << (i ? ", " : "") << list.FailedNumbers()[i];
        }
        context.out << "], \"images\": [";
        for (std::size_t i = 0; i < list.Entries().size(); ++i) {
            const LogoEntry& e = list.Entries()[i];
            context.out << (i ? ", " : "") << "{\"number\": " << e.number
                        << ", \"name\": " << JsonString(e.name) << ", \"size\": " << e.size
                        << ", \"path\": " << JsonString(e.path)
                        << ", \"center\": " << (e.center ? "true" : "false") << "}";
        }
        context.out << "]}\n";
        return kExitDone;
    }
    context.out << "   No.  Size             Name\n";
    for (const LogoEntry& e : list.Entries()) {
        context.out << "   " << e.NumberText() << "  " << e.SizeText() << "  " << e.path << "\n";
    }
    context.out << "Number of Image Files: " << list.CountText() << "\n";
    context.out << "Total Image File Size: " << list.SizeText() << "\n";
    std::string centred;
    for (const LogoEntry& e : list.Entries())
        if (e.center) centred += (centred.empty() ? "" : ", ") + std::to_string(e.number);
    if (!centred.empty()) context.out << "Auto Center Align: " << centred << "\n";
    if (list.StoredGray()) context.out << "Use Gray Printing: on\n";
    return kExitDone;
}

}  // namespace

void AddLogoCommands(CLI::App& app, CliContext& context) {
    CLI::App* logo = app.add_subcommand("logo", "bitmap logos in the printer's NV graphics memory");
    logo->require_subcommand(1);

    auto convert = std::make_shared<ConvertOptions>();
    CLI::App* c = logo->add_subcommand("convert", "show the printer's dots of a logo file");
    c->add_option("FILE", convert->file, "a .bmp, .png, .jpg or .gif file")->required();
    c->add_option("--png", convert->png, "write the dots as a PNG image");
    c->add_option("--raw", convert->raw, "write the image header and data the printer gets");
    c->add_flag("--center", convert->center, "Auto Center Align in the printable area");
    AddConversionOptions(*c, convert->conversion);
    c->callback([convert, &context] { context.exitCode = RunConvert(*convert, context); });

    auto upload = std::make_shared<UploadOptions>();
    CLI::App* u = logo->add_subcommand(
        "upload", "store logo files as NV images 1..n (replaces every stored image)");
    u->add_option("FILES", upload->files, "the .bmp, .png, .jpg or .gif files, image 1 first")
        ->required();
    AddConversionOptions(*u, upload->conversion);
    u->add_option("--center", upload->center,
                  "Auto Center Align Check: positions of the files to centre, e.g. \"1,3-4\"");
    u->add_flag("--star", upload->conversion.star, "Use Star Emulation (ESC before NV commands)");
    AddConnectionOptions(*u, upload->connection);
    u->callback([upload, &context] { context.exitCode = RunUpload(*upload, context); });

    auto del = std::make_shared<DeleteOptions>();
    CLI::App* d = logo->add_subcommand("delete-all", "delete every stored NV image");
    // Taken like the other logo verbs take it; the delete-all command carries no ESC either
    // way, so a printer in Star emulation gets the same seven bytes.
    d->add_flag("--star", del->star, "Use Star Emulation (delete-all sends the same bytes)");
    AddConnectionOptions(*d, del->connection);
    d->callback([del, &context] { context.exitCode = RunDeleteAll(*del, context); });

    auto print = std::make_shared<PrintOptions>();
    CLI::App* p = logo->add_subcommand("print", "print stored NV images");
    p->add_flag("--all", print->all, "print images 1..255");
    p->add_option("--select", print->select, "the images to print, e.g. \"1,3,5-9\"");
    p->add_option("--size", print->size, "normal, double-width, double-height or quadruple")
        ->check(CLI::IsMember({"normal", "double-width", "double-height", "quadruple"}));
    p->add_flag("--header", print->header, "print \"--- Logo n ---\" before each image");
    p->add_flag("--star", print->star, "Use Star Emulation (ESC before NV commands)");
    AddConnectionOptions(*p, print->connection);
    p->callback([print, &context] { context.exitCode = RunPrint(*print, context); });

    auto list = std::make_shared<ListOptions>();
    CLI::App* l = logo->add_subcommand("list", "show the stored logo list of the profile");
    l->add_flag("--json", list->json, "print the list as JSON");
    l->callback([list, &context] { context.exitCode = RunList(*list, context); });
}

}  // namespace kp70
