// The seam to the operating system. Everything above it speaks UTF-8
// std::string and knows nothing of the OS but the path separator below.
// Exactly one port is compiled behind it: src/platform/posix/ or win32/; the
// portable files beside them (wildcard, ini_lines, plain_text) hold the rules
// both share. On POSIX every function that takes a path takes one of any
// length, also one longer than PATH_MAX.
//
// Expected failures are return values: false with the system's reason in
// words, which the layers above put after the call and the path ("cannot
// write the page PATH: reason"). Nothing here throws.
//
// Process-wide state, all of it set up or used on the main thread only:
// StartProcess fixes the locale and the argument text; FileStampBatch marks a
// batch of stamp look-ups (one at a time); CollationKey and the POSIX
// keyboard sample keep buffers between calls; the Windows port numbers the
// folders of shares without file indexes. None of it is safe to share
// between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

/// The character that separates path components and ends a folder path.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

/// Prepares the process: the user's locale for collation, case and dates,
/// and the raw arguments, which only the POSIX port needs.
void StartProcess(int argc, char** argv);

/// The folder that holds the running executable, without a trailing separator.
std::string ExecutableFolder();

/// The command line's argument text: everything after the program's own
/// name, unsplit and unquoted (POSIX: the arguments joined by single blanks).
std::string ArgumentText();

/// One entry returned by the enumeration: its bare name and whether it is a
/// folder (a link counts as what it leads to).
struct DirEntry {
  std::string name;
  bool isFolder = false;
};

/// Which entries an enumeration yields: ordinary files only, or folders too
/// ("." and ".." among them).
enum class Listing { kFiles, kFilesAndFolders };

/// What an open enumeration holds; each port defines its own.
struct EnumerationState;

/// An open directory enumeration. Only "*" and "?" in the pattern's last
/// component are wildcards; an empty last component matches every entry.
/// Hidden and system entries never match. A folder that cannot be listed
/// yields nothing. The state is released when the enumeration ends or the
/// object goes.
struct Enumeration {
  std::unique_ptr<EnumerationState> state;
  Enumeration();
  Enumeration(const Enumeration&) = delete;
  Enumeration& operator=(const Enumeration&) = delete;
  ~Enumeration();
};

/// Starts an enumeration; false when nothing matches.
bool StartEnumeration(Enumeration& e, const std::string& pattern, Listing listing, DirEntry& entry);
/// The next matching entry; false after the last one.
bool NextEntry(Enumeration& e, DirEntry& entry);
/// Closes the enumeration early; harmless when already closed.
void EndEnumeration(Enumeration& e);

/// What a path names.
enum class EntryKind { kMissing, kFile, kFolder };

/// What a path names, and whether the path itself is a link (a symbolic
/// link, or on Windows any reparse point). POSIX follows a link, so a
/// dangling one is missing; Windows describes the link itself.
struct PathKind {
  EntryKind kind = EntryKind::kMissing;
  bool isLink = false;
};
PathKind KindOfPath(const std::string& path);

/// Identity of a folder: device and inode, or volume serial and file index.
struct FolderId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FolderId&) const = default;
};
/// False when the folder cannot be reached.
bool GetFolderId(const std::string& path, FolderId& id);

/// Size in bytes and last-modification time of a file.
struct FileStamp {
  std::int64_t size = 0;
  std::int64_t modified = 0;  // seconds since 1970-01-01 UTC
};
/// False, with the system's reason, when the file cannot be read.
bool GetFileStamp(const std::string& path, FileStamp& stamp, std::string& reason);

/// While one exists, GetFileStamp may keep the folder of the file it read last
/// open and look up the next file of that folder by its name alone, instead of
/// walking the whole path again. The results are the same. It sets state of
/// the process (POSIX: one open folder): only one may exist at a time, and the
/// folder is released when it ends.
struct FileStampBatch {
  FileStampBatch();
  FileStampBatch(const FileStampBatch&) = delete;
  FileStampBatch& operator=(const FileStampBatch&) = delete;
  ~FileStampBatch();
};

/// A time as the user's locale writes it: the date, a blank, and the time of
/// day with seconds, in local time.
std::string LocalDateTimeText(std::int64_t modified);

/// Lower-cases text in the user's locale.
std::string LowerText(const std::string& text);

/// A key that orders like a case-insensitive comparison in the user's locale:
/// compare two keys with std::string's operator< and ==. Keeps its working
/// buffers between calls (POSIX), so keys are made on one thread.
std::string CollationKey(const std::string& text);

/// All key=value entries of one section of an INI file, in file order, as
/// ParseIniEntry (ini_lines.h) reads them: section names match without regard
/// to letter case; blanks around keys and values are trimmed; comments and
/// lines without a key are left out. A missing file or section gives no
/// entries.
std::vector<std::pair<std::string, std::string>> ReadSettingsSection(const std::string& path,
                                                                     const std::string& section);

/// True when the key with this Windows virtual-key code (16 Shift, 17 Ctrl,
/// 65-90 A-Z, ...) is held down. POSIX reads the keyboard once, at the first
/// question, and answers every later one from that sample.
bool IsKeyHeld(int virtualKey);

/// How a message looks: plain information, or a warning (Windows: the
/// exclamation icon).
enum class MessageKind { kInformation, kWarning };

/// A modal message box with an OK button; where none can be shown, the text
/// goes to standard error as "caption: text".
void ShowMessage(const std::string& text, MessageKind kind, const std::string& caption);

/// Reports an unexpected failure that ends the run.
void ReportFailure(const std::string& text);

/// Shows text that the user asked for (the usage, the version). POSIX writes
/// it to standard output; Windows shows it in a message box with the caption,
/// or writes it to standard output where none can be shown. False when it
/// could not be written.
bool ShowAnswer(const std::string& text, const std::string& caption);

/// What the system says the user's language is: language names as the system
/// writes them ("ja_JP.UTF-8", "en", "ja-JP"), most preferred first. POSIX:
/// PreferredLanguages (user_language.h) of LANGUAGE, LC_ALL, LC_MESSAGES and
/// LANG; Windows: the user's UI language (GetUserDefaultUILanguage) as a
/// locale name, none when it has no name.
std::vector<std::string> UserLanguages();

/// Whether the system's commands take options after a slash, as in "/?".
#ifdef _WIN32
inline constexpr bool kSlashOptions = true;
#else
inline constexpr bool kSlashOptions = false;
#endif

/// Seconds since 1970-01-01 UTC of a civil date and time read as local time
/// (the zone's rules for that day). False when it names no real time.
bool LocalTimeSeconds(int year, int month, int day, int hour, int minute, int second,
                      std::int64_t& seconds);

/// Removes a file that pagrimo wrote itself (an outdated thumbnail). True when
/// it is gone afterwards.
bool RemoveOwnFile(const std::string& path, std::string& reason);

/// Notices about a run that went on: one line each (pictures left without a
/// thumbnail, folders where none could be written). POSIX prints each line to
/// standard error after "pagrimo: "; Windows shows them in one message box at
/// the end, or on standard error where none can be shown.
void ReportNotices(const std::vector<std::string>& lines);

/// Progress of a long piece of work, from the thread that started it. POSIX: a
/// line on standard error when it is a terminal, else zenity's progress dialog
/// on a desktop, else nothing; Windows: the shell's progress dialog, with
/// Cancel. StartProgress shows it; EndProgress closes it (harmless when none).
void StartProgress(const std::string& title);
/// Moves the progress to done of total steps.
void UpdateProgress(std::int64_t done, std::int64_t total);
/// True once the user asked to stop the work (Cancel).
bool ProgressCancelled();
void EndProgress();

/// The platform's folder chooser; the empty string when cancelled.
std::string ChooseFolder(const std::string& title);

/// How a text file's bytes relate to the program's UTF-8.
enum class TextEncoding {
  kSystem,  // the system's code page (passed through unchanged on POSIX)
  kUtf8Bom  // UTF-8 that starts with a byte order mark
};

/// Reads a whole text file as UTF-8. A leading UTF-8 byte order mark selects
/// kUtf8Bom and is dropped; otherwise the system code page is converted.
bool ReadTextFile(const std::string& path, std::string& text, TextEncoding& encoding,
                  std::string& reason);

/// Replaces the file at path with text, written in the given encoding. The text
/// goes to a temporary file in the same folder that is renamed over the target
/// only when complete, so a failure leaves the old file untouched and no
/// temporary file behind. An existing read-only target is never replaced. A
/// target that already holds exactly these bytes is not written at all; one
/// that is replaced gets the new bytes flushed to disk before the rename (and
/// on POSIX the folder after it), so a power loss leaves the old file or the
/// new one, whole.
bool ReplaceTextFile(const std::string& path, const std::string& text, TextEncoding encoding,
                     std::string& reason);

/// The file format of a display copy (a thumbnail, a preview): JPEG for
/// opaque pictures, PNG for pictures with transparency.
enum class CopyFormat { kJpeg, kPng };

/// Which side a display copy failed on.
enum class CopyFailure {
  kNone,
  kPicture,  // the picture cannot be read or decoded (truncated, not an image, empty)
  kTarget    // the copy cannot be written (read-only folder, disk full)
};

/// One display copy wanted of a picture: its longest side in pixels (never
/// enlarged; below 1 counts as 1) and its path without the extension. A
/// preview lets a JPEG be decoded at any eighth of its size, and is encoded
/// without optimised Huffman tables (faster; a few per cent larger);
/// thumbnails made without one keep to the four scales they have always
/// been made at (1/8, 1/4, 1/2, 1), so their bytes stay the same.
struct WantedCopy {
  std::int32_t longestSide = 0;
  std::string targetStem;
  bool preview = false;
};

/// What became of one wanted copy: written (failure kNone, with its pixel
/// size and format) or not (failure says which side, reason why).
struct CopyResult {
  CopyFailure failure = CopyFailure::kNone;
  std::string reason;  // the system's or decoder's reason, when it failed
  std::int32_t width = 0;
  std::int32_t height = 0;
  CopyFormat format = CopyFormat::kJpeg;
};

/// A decoder the system lacks until an extension is installed (on Windows,
/// from the Microsoft Store); the picture or clip is not damaged. kHevc is
/// HEVC (H.265) video, kWebm the WebM container with its VP8 and VP9 video.
enum class MissingDecoder { kNone, kHeif, kAvif, kWebp, kHevc, kWebm };

/// What the copies are made from. A picture needs nothing more. A video's
/// copies are made from one poster frame: looked for at the times
/// PosterTimes (posters.h) gives for durationMs (0: unknown, the engine asks
/// the container), each reached by a seek to the nearest key frame before it
/// and decoding on from there, never from the start; a nearly black frame
/// makes the engine try the next time, and the brightest frame found is
/// taken. The frame is turned upright by orientation (the display matrix as
/// an EXIF value 1..8, which the container reader found).
struct MediaSource {
  bool video = false;
  std::int64_t durationMs = 0;
  int orientation = 1;
};

/// What one decode of a picture gave: a result per wanted copy, in the order
/// asked, and what the decoder was asked for: the number of decodes (0 or 1)
/// and the pixel size that decode delivered, before orientation and any
/// further shrinking. colourConverted says that the picture carried a colour
/// profile other than sRGB and the copies were converted to sRGB. Facts
/// that only the decoder knows belong here beside them: for a video, the
/// time of the frame taken (posterMs), how many frames were measured for it
/// (framesTried: 1 unless the first was nearly black) and the length the
/// engine found (durationMs, 0 when unknown).
struct MediaResult {
  std::vector<CopyResult> copies;
  int decodes = 0;
  std::int32_t decodedWidth = 0;
  std::int32_t decodedHeight = 0;
  bool colourConverted = false;
  MissingDecoder missingDecoder = MissingDecoder::kNone;  // why every copy failed, when set
  std::int64_t posterMs = -1;
  int framesTried = 0;
  std::int64_t durationMs = 0;
};

/// Decodes the picture once (first frame), at the smallest scale that covers
/// the largest wanted copy (JPEGs at reduced scale), applies its EXIF
/// orientation, converts its colours to sRGB when it carries another colour
/// profile (an untagged or sRGB picture keeps its values exactly) and makes
/// each copy: the largest from the decode, each smaller
/// one shrunk from the copy just larger. A copy's longest side is its
/// longestSide, or the picture's own where that is smaller (aspect kept); it
/// is written atomically (temporary file in the same folder, then rename) to
/// targetStem + ".jpg" (no pixel of the copy transparent; quality about 85)
/// or targetStem + ".png" (transparency kept), without metadata. Returns
/// true when every copy was written (also when none was wanted: then nothing
/// is read). Returns false when any was not: a picture that cannot be read or
/// decoded fails every copy alike (kPicture); a copy that cannot be encoded
/// fails as kPicture, one that cannot be written as kTarget, and the other
/// copies are still made. A failed copy leaves nothing behind. Callable from
/// several threads at once on different pictures; the engine's per-thread
/// set-up is its own business. A video (source.video) is handled alike from
/// its poster frame: decodes is 1 when a frame was decoded, and a clip with
/// no decodable frame (damaged, cut short, not a clip, no decoder) fails
/// every copy as kPicture, within bounded time and memory (an absurd frame
/// size is refused before any allocation).
bool MakeDisplayCopies(const std::string& picture, const std::vector<WantedCopy>& wanted,
                       MediaResult& result, const MediaSource& source = {});

/// Creates the folder that holds thumbnails (hidden on Windows: the hidden
/// attribute; on POSIX its name starts with a dot). True when it exists
/// afterwards.
bool MakeThumbnailFolder(const std::string& path, std::string& reason);

/// Reads up to count bytes of a regular file from offset; fewer (none at all
/// past the end) when the file ends sooner. False, with the system's reason,
/// when the file cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::int64_t offset, size_t count, std::string& bytes,
                   std::string& reason);

/// The folders that may hold pagrimo.ini and the templates, in the order they
/// are tried, without trailing separators. The first is always the executable's
/// folder, and on Windows the only one. On POSIX it is followed by the user's
/// $XDG_CONFIG_HOME/pagrimo (when that variable is an absolute path, else
/// $HOME/.config/pagrimo) and by the installation's share/pagrimo, found
/// beside the executable's folder (/usr/bin gives /usr/share/pagrimo).
std::vector<std::string> SettingsFolderCandidates();

/// A time (seconds since 1970-01-01 UTC) as local calendar fields, by the
/// zone's rules for that day: month 1..12, day 1..31, hour 0..23. False when
/// the time cannot be converted.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
bool ToLocalTime(std::int64_t seconds, LocalTime& local);

}  // namespace platform
