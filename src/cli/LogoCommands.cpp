// kp70ctl logo: convert bitmaps to printer dots, upload them to the printer's NV graphics
// memory, delete them, print stored logos and show the stored list.
#include <CLI/CLI.hpp>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "cli/LogoFlags.h"
#include "cli/PngFile.h"
#include "cli/Verb.h"
#include "core/app/HexText.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Outcome.h"
#include "core/app/Profile.h"
#include "core/logo/BitImageConversion.h"
#include "core/logo/LogoBitmap.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOperations.h"
#include "core/logo/LogoOptions.h"
#include "core/logo/LogoSelection.h"
#include "core/logo/LogoTexts.h"
#include "core/logo/NvCommands.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

struct ConvertOptions {
    LogoFlags flags;
    std::string file;
    std::string png;
    std::string raw;
    bool center = false;
};

struct UploadOptions {
    ConnectionOptions connection;
    LogoFlags flags;
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

// ---- logo convert ----

int RunConvert(const ConvertOptions& o, Verb& verb) {
    if (o.png.empty() && o.raw.empty()) verb.Refuse("give --png OUT.png and/or --raw OUT.bin");
    const LogoOptions options = LogoOptionsOf(o.flags, 0, verb);
    auto bitmap = std::make_unique<LogoBitmap>();
    if (!bitmap->LoadBitmap(o.file)) verb.Fail(o.file + ": " + bitmap->LastError());
    if (!FitsNvImage(bitmap->PaddedWidth(), bitmap->PaddedHeight(), options.grayPrinting)) {
        verb.Fail(o.file + ": the image is too large for the printer (an NV image holds at most " +
                  std::to_string(LogoList::kCapacityBytes) + " bytes of data)");
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
    // The printer's dots: black dots, gray levels as grays, white elsewhere.
    if (!o.png.empty() &&
        !WriteGrayPng(o.png, width, height, DotsAsGray(*bitmap, options.grayPrinting), why))
        verb.Fail(why);
    if (!o.raw.empty()) {
        std::ofstream out(o.raw, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(header.data()), 4);
        out.write(reinterpret_cast<const char*>(data), length);
        if (!out) verb.Fail(o.raw + ": the file could not be written");
    }
    verb.Result(std::to_string(width) + " x " + std::to_string(height) + " dots, header " +
                HexBytes(header.data(), 4) + ", " + std::to_string(length) + " data bytes");
    return kExitDone;
}

// ---- logo upload / delete-all ----

int RunUpload(const UploadOptions& o, Verb& verb) {
    const int modelCode = verb.Resolve(o.connection, PrinterNeed::Bytes).settings.modelCode;
    const LogoOptions options = LogoOptionsOf(o.flags, modelCode, verb);
    LogoList list;
    list.SetGrayPrinting(options.grayPrinting);
    for (const std::string& file : o.files) {
        const AddBitmapResult added = list.AddBitmap(0, file);
        if (added.accepted) continue;
        if (added.message) {
            Notice notice = *added.message;
            notice.detail = file + ": " + added.reason;
            verb.Tell(notice);
        } else {
            verb.Tell(file + ": " + added.reason);
        }
        verb.Stop(kExitFailed);
    }
    if (!o.center.empty()) CentreListed(list, o.center, verb);
    if (NvMemoryTooSmall(modelCode, list, options))
        verb.Fail(std::string(texts::kNoticeCaption) + ": " + logotext::kTalvo30Notice);

    Profile profile(verb.Context().profilePath);
    UploadCallbacks callbacks;
    callbacks.progress = ImageLines(verb);
    const Outcome outcome = UploadLogos(verb.Links().Factory(), verb.Time(), &verb.Links().Log(),
                                        list, options, &profile, callbacks, verb.Cancel());
    if (outcome.status == OutcomeStatus::Cancelled) verb.Warn("cancelled");
    return verb.Finish(outcome);
}

int RunDeleteAll(const DeleteOptions& o, Verb& verb) {
    verb.Resolve(o.connection, PrinterNeed::Bytes);
    return verb.Finish(DeleteAllLogos(verb.Links().Factory(), verb.Time(), verb.Cancel()));
}

// ---- logo print ----

int RunPrint(const PrintOptions& o, Verb& verb) {
    if (o.all == !o.select.empty()) verb.Refuse("give either --all or --select LIST");
    if (!o.all && !ValidateSelection(o.select)) {
        verb.Tell(Notice::Message(msg::kSelectionIncorrect, MessageIcon::Exclamation));
        verb.Stop(kExitUsage);
    }
    verb.Resolve(o.connection, PrinterNeed::Answers);
    PrintRequest request;
    request.all = o.all;
    request.header = o.header;
    request.starEmulation = o.star;
    const std::vector<std::string> sizes = {"normal", "double-width", "double-height", "quadruple"};
    for (std::size_t m = 0; m < sizes.size(); ++m) {
        if (o.size == sizes[m]) request.mode = static_cast<NvPrintMode>(m);
    }
    const Outcome outcome =
        PrintLogos(verb.Links().Factory(), verb.Time(), request, o.select, {}, verb.Cancel());
    const int exitCode = verb.Finish(outcome);
    if (outcome.ok()) verb.Result("printed " + std::to_string(outcome.count) + " images");
    return exitCode;
}

// ---- logo list ----

int RunList(const ListOptions& o, Verb& verb) {
    LogoList list;
    const Profile profile(verb.Context().profilePath);
    // A profile that cannot be read is no empty list: it was said before the verb ran.
    if (!profile.ReadProblem().empty()) verb.Stop(kExitFailed);
    verb.Tell(list.LoadStoredList(profile));
    // Sized as the printer holds them.
    if (list.StoredGray()) list.SetGrayPrinting(true);
    if (o.json) {
        nlohmann::ordered_json images = nlohmann::ordered_json::array();
        for (const LogoEntry& e : list.Entries()) {
            images.push_back({{"number", e.number},
                              {"name", e.name},
                              {"size", e.size},
                              {"path", e.path},
                              {"center", e.center}});
        }
        verb.Json(nlohmann::ordered_json{{"count", list.Count()},
                                         {"totalBytes", list.TotalBytes()},
                                         {"capacityKB", LogoList::kCapacityKB},
                                         {"gray", list.StoredGray()},
                                         {"failed", list.FailedNumbers()},
                                         {"images", images}});
        return kExitDone;
    }
    verb.Result("   No.  Size             Name");
    for (const LogoEntry& e : list.Entries())
        verb.Result("   " + e.NumberText() + "  " + e.SizeText() + "  " + e.path);
    verb.Result("Number of Image Files: " + list.CountText());
    verb.Result("Total Image File Size: " + list.SizeText());
    std::string centred;
    for (const LogoEntry& e : list.Entries())
        if (e.center) centred += (centred.empty() ? "" : ", ") + std::to_string(e.number);
    if (!centred.empty()) verb.Result("Auto Center Align: " + centred);
    if (list.StoredGray()) verb.Result("Use Gray Printing: on");
    return kExitDone;
}

}  // namespace

void AddLogoCommands(CLI::App& app, CliContext& context) {
    CLI::App* logo = app.add_subcommand("logo", "bitmap logos in the printer's NV graphics memory");
    logo->require_subcommand(1);

    auto convert = std::make_shared<ConvertOptions>();
    CLI::App* c = AddVerb(*logo, context, "convert", "show the printer's dots of a logo file",
                          [convert](Verb& verb) { return RunConvert(*convert, verb); });
    c->add_option("FILE", convert->file, "a .bmp, .png, .jpg or .gif file")->required();
    c->add_option("--png", convert->png, "write the dots as a PNG image");
    c->add_option("--raw", convert->raw, "write the image header and data the printer gets");
    c->add_flag("--center", convert->center, "Auto Center Align in the printable area");
    AddLogoFlags(*c, convert->flags);

    auto upload = std::make_shared<UploadOptions>();
    CLI::App* u = AddVerb(*logo, context, "upload",
                          "store logo files as NV images 1..n (replaces every stored image)",
                          [upload](Verb& verb) { return RunUpload(*upload, verb); });
    u->add_option("FILES", upload->files, "the .bmp, .png, .jpg or .gif files, image 1 first")
        ->required();
    AddLogoFlags(*u, upload->flags);
    u->add_option("--center", upload->center,
                  "Auto Center Align Check: positions of the files to centre, e.g. \"1,3-4\"");
    u->add_flag("--star", upload->flags.star, "Use Star Emulation (ESC before NV commands)");
    AddConnectionOptions(*u, upload->connection);

    auto del = std::make_shared<DeleteOptions>();
    CLI::App* d = AddVerb(*logo, context, "delete-all", "delete every stored NV image",
                          [del](Verb& verb) { return RunDeleteAll(*del, verb); });
    // Taken like the other logo verbs take it; the delete-all command carries no ESC either
    // way, so a printer in Star emulation gets the same seven bytes.
    d->add_flag("--star", del->star, "Use Star Emulation (delete-all sends the same bytes)");
    AddConnectionOptions(*d, del->connection);

    auto print = std::make_shared<PrintOptions>();
    CLI::App* p = AddVerb(*logo, context, "print", "print stored NV images",
                          [print](Verb& verb) { return RunPrint(*print, verb); });
    p->add_flag("--all", print->all, "print images 1..255");
    p->add_option("--select", print->select, "the images to print, e.g. \"1,3,5-9\"");
    p->add_option("--size", print->size, "normal, double-width, double-height or quadruple")
        ->check(CLI::IsMember({"normal", "double-width", "double-height", "quadruple"}));
    p->add_flag("--header", print->header, "print \"--- Logo n ---\" before each image");
    p->add_flag("--star", print->star, "Use Star Emulation (ESC before NV commands)");
    AddConnectionOptions(*p, print->connection);

    auto list = std::make_shared<ListOptions>();
    CLI::App* l = AddVerb(*logo, context, "list", "show the stored logo list of the profile",
                          [list](Verb& verb) { return RunList(*list, verb); });
    l->add_flag("--json", list->json, "print the list as JSON");
}

}  // namespace kp70
