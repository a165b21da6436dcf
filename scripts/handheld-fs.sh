# Sourced: the handheld's file system as the personality keeps it, in the Wine prefix
# $WINEPREFIX (scripts/wine-env.sh sets it). The handheld's root "\" is the prefix's
# drive_c/handheld folder; a handheld path is "\" and then names of files or folders apart by
# "\", without "." or "..", so that none leads out of the root. The handheld's names do not
# depend on case; an existing file or folder is found whatever the case of its name.
#
#   handheld_root
#       prints the root's folder on this machine: $WINEPREFIX/drive_c/handheld
#   handheld_wine_root
#       prints the root as the Wine programs see it: C:\handheld
#   handheld_host_path HANDHELD_PATH
#       prints the file or folder on this machine of a handheld path, e.g.
#       "\Program Files\Muntara Audio\muntara.exe" ->
#       "$WINEPREFIX/drive_c/handheld/Program Files/Muntara Audio/muntara.exe";
#       fails, saying why on standard error, for a path that is not a handheld path or would
#       leave the root
#   handheld_shortcut_target SHORTCUT_FILE
#       prints the handheld path a shortcut file (on this machine) starts; a shortcut as the
#       handheld's shell keeps one is the length of the command, "#", then the command: the
#       target's path, in quotes when it holds a space, then arguments
#       ("42#\"\Program Files\Muntara Audio\muntara.exe\""); it fails on any other file
#   handheld_program_path HANDHELD_PATH
#       prints the file on this machine of the program a handheld path starts: the path's own
#       file, or for a shortcut (".lnk") the file of its target
#
# The handheld's installer (tools/handheld-install) takes the same root and the same rule for the
# parts of a path (package/InstallPlan.h, IsPathPart).

handheld_root() {
    printf '%s\n' "$WINEPREFIX/drive_c/handheld"
}

handheld_wine_root() {
    printf '%s\n' 'C:\handheld'
}

handheld_host_path() {
    local path=$1 host part entry name found
    if [ "${path:0:1}" != '\' ]; then
        echo "handheld: \"$path\" is not a handheld path: it begins with \\" >&2
        return 1
    fi
    host=$(handheld_root)
    local IFS='\'
    # shellcheck disable=SC2086 # the path is split at its separators on purpose
    set -f
    set -- ${path:1}
    set +f
    for part in "$@"; do
        if [ -z "$part" ] || [ "$part" = . ] || [ "$part" = .. ] ||
            [[ $part =~ [/:*?\"\<\>|[:cntrl:]] ]]; then
            echo "handheld: \"$path\" is not a path inside the handheld's file system" >&2
            return 1
        fi
        found=""
        if [ ! -e "$host/$part" ] && [ -d "$host" ]; then
            for entry in "$host"/*; do
                name=${entry##*/}
                if [ -e "$entry" ] && [ "${name,,}" = "${part,,}" ]; then
                    found=$name
                    break
                fi
            done
        fi
        host=$host/${found:-$part}
    done
    printf '%s\n' "$host"
}

# The command of a shortcut file: the number of characters it gives, of the text after "#".
handheld_shortcut_command() {
    local file=$1 text count
    if ! text=$(head -c 4096 "$file" 2>/dev/null) || [[ ! $text =~ ^([0-9]+)#(.*)$ ]]; then
        echo "handheld: $file is not a shortcut (the length of a command, #, the command)" >&2
        return 1
    fi
    count=$((10#${BASH_REMATCH[1]}))
    text=${BASH_REMATCH[2]}
    if [ "$count" -gt "${#text}" ] || [ "$count" -eq 0 ]; then
        echo "handheld: $file gives a command of $count characters; it holds ${#text}" >&2
        return 1
    fi
    printf '%s\n' "${text:0:count}"
}

# A command: the target in quotes, or up to the first space; then its arguments.
handheld_quoted_command='^"([^"]*)" *(.*)$'
handheld_plain_command='^([^ ]*) *(.*)$'

handheld_shortcut_target() {
    local command
    command=$(handheld_shortcut_command "$1") || return 1
    [[ $command =~ $handheld_quoted_command ]] || [[ $command =~ $handheld_plain_command ]]
    printf '%s\n' "${BASH_REMATCH[1]}"
}


handheld_program_path() {
    local host
    host=$(handheld_host_path "$1") || return 1
    if [[ ${1,,} == *.lnk ]]; then
        handheld_host_path "$(handheld_shortcut_target "$host")" || return 1
    else
        printf '%s\n' "$host"
    fi
}
