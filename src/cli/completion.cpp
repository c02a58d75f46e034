// The bash completion script of kestrix-cli, written from the command table so that a new
// command or option completes without touching the script. The build runs
// `kestrix-cli --completion bash` and installs its output.

#include "cli/cli_options.h"

#include <QStringList>

namespace kestrix::cli {
namespace {

// The choices of a command's first operand, where its usage lists them: "upload|download|clear"
// gives upload, download and clear; "places|show PLACE" gives places and show.
QStringList operations(const Command &command)
{
    const QString operands = QLatin1String(command.operands);
    if (!operands.contains(QLatin1Char('|')))
        return {};
    QStringList choices;
    for (const QString &alternative : operands.split(QLatin1Char('|')))
        choices << alternative.section(QLatin1Char(' '), 0, 0);
    return choices;
}

QString dashed(const char *name)
{
    return QStringLiteral("--") + QLatin1String(name);
}

// What completes the value of an option, by the name of its value.
QString valueCompletion(const QString &valueName)
{
    if (valueName == QLatin1String("FILE") || valueName == QLatin1String("DEVICE"))
        return QStringLiteral("compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\"))");
    if (valueName == QLatin1String("DIR"))
        return QStringLiteral("compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- \"$cur\"))");
    if (valueName == valueName.toLower())   // a literal, as --ports configured
        return QStringLiteral("COMPREPLY=($(compgen -W \"%1\" -- \"$cur\"))").arg(valueName);
    return QStringLiteral("COMPREPLY=()");   // a number, an address, KEY=VALUE: nothing to offer
}

QString bashScript()
{
    QStringList globalNames{QStringLiteral("--help")};
    QStringList globalValued;
    QStringList valueCases;   // "--name) completion ;;" once per option name with a value
    QStringList casesDone;
    const auto addValueCase = [&](const char *name, const char *valueName) {
        if (!valueName || casesDone.contains(QLatin1String(name)))
            return;
        casesDone << QLatin1String(name);
        valueCases << QStringLiteral("        %1) %2; return ;;")
                          .arg(dashed(name), valueCompletion(QLatin1String(valueName)));
    };
    for (const GlobalOption &option : globalOptions()) {
        globalNames << dashed(option.name);
        globalValued << dashed(option.name);
        addValueCase(option.name, option.valueName);
    }

    QStringList commandNames;
    QStringList commandCases;
    for (const Command &command : commandTable()) {
        commandNames << QLatin1String(command.name);
        QStringList names;
        QStringList valued;
        for (const CommandOption &option : command.options) {
            names << dashed(option.name);
            if (option.valueName)
                valued << dashed(option.name);
        }
        if (names.isEmpty() && operations(command).isEmpty())
            continue;
        commandCases << QStringLiteral("                %1) options=\"%2\"; valued=\" %3 \"; operations=\"%4\" ;;")
                            .arg(QLatin1String(command.name), names.join(QLatin1Char(' ')),
                                 valued.join(QLatin1Char(' ')), operations(command).join(QLatin1Char(' ')));
    }
    // One option name may take a value with one command and none with another (--save): its
    // value is completed only where the given command's options say it takes one.
    for (const Command &command : commandTable()) {
        for (const CommandOption &option : command.options)
            addValueCase(option.name, option.valueName);
    }

    return QStringLiteral(R"(# bash completion for kestrix-cli, written by "kestrix-cli --completion bash" from its
# command table: commands, their operations, their options and the options of every command.
_kestrix_cli()
{
    local cur="${COMP_WORDS[COMP_CWORD]}" prev="${COMP_WORDS[COMP_CWORD-1]}"
    local global_options="%1"
    local global_valued=" %2 "
    local command="" options="" valued=" " operations="" operands=0 word i
    for ((i = 1; i < COMP_CWORD; i++)); do
        word="${COMP_WORDS[i]}"
        if [[ "$global_valued$valued" == *" $word "* ]]; then
            i=$((i + 1))
        elif [[ $word != -* && -z $command ]]; then
            command="$word"
            case "$command" in
%3
            esac
        elif [[ $word != -* ]]; then
            operands=$((operands + 1))
        fi
    done
    if [[ $COMP_CWORD -gt 1 && "$global_valued$valued" == *" $prev "* ]]; then
        case "$prev" in
%4
        esac
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options $global_options" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "%5" -- "$cur"))
    elif [[ $operands -eq 0 && -n $operations ]]; then
        COMPREPLY=($(compgen -W "$operations" -- "$cur"))
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -F _kestrix_cli kestrix-cli
)")
        .arg(globalNames.join(QLatin1Char(' ')), globalValued.join(QLatin1Char(' ')),
             commandCases.join(QLatin1Char('\n')), valueCases.join(QLatin1Char('\n')),
             commandNames.join(QLatin1Char(' ')));
}

} // namespace

QString completionScript(const QString &shell)
{
    return shell == QLatin1String("bash") ? bashScript() : QString();
}

} // namespace kestrix::cli
