#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <optional>

namespace vellora {

// The `vellora` command's options. Without one that asks for something the program starts as
// usual; the others talk to the running program over the session bus. When it does not run, the
// levels are read and changed in the settings file itself, under the program's own lock.
class CommandLine {
public:
    CommandLine();

    // Parses the arguments (no application object is needed); false for options that are not
    // the command's own (Qt's own are, until an application object has taken them out).
    bool parse(const QStringList& arguments);
    // Says why the arguments could not be parsed, in one line; the exit status.
    int failParse() const;
    // Whether the arguments ask for an answer rather than the program: an option that talks to
    // the running program, the options' help, or the version.
    bool asksForAnswer() const;
    // From now on, only the program's own warnings are written, each as one line: what Qt notes
    // as it starts (a locale that is not UTF-8, in a script's bare environment) or as it reads
    // the settings file is not for the command's user. Before the application object is made.
    static void sayOwnTroubleOnly();
    // Answers it (an application object exists): prints the answer on standard output, trouble
    // as one line on standard error. The exit status.
    int answer();

    QString volumeInterpreter() const { return parser_.value(interpreter_); }

private:
    int answerOverBus(const QString& method, const QVariantList& arguments, bool* notRunning);
    int answerFromFile();
    int fail(const QString& line, int status = 1) const;

    QCommandLineParser parser_;
    QStringList arguments_;
    const QCommandLineOption interpreter_, setLevel_, removeLevel_, output_, levels_, pause_,
        resume_, status_;
    std::optional<QCommandLineOption> help_, version_; // the parser's own
};

} // namespace vellora
