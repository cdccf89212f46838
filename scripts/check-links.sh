#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks every relative link and image of the project's pages: the file it
# names must exist and, for FILE.md#ANCHOR or #ANCHOR, a heading of that page
# must make the anchor the way GitHub makes it (lower case, spaces to '-',
# punctuation other than '-' and '_' dropped, -1, -2... on repeats).
# Web links are not followed: the test runs without a network.
#
#   scripts/check-links.sh [SOURCE_DIR]
#
# Prints each broken link as PAGE:LINE and exits 1 when there is one.
set -u
root=${1:-.}
cd "$root" || exit 2
# Letters outside ASCII (°, é) are letters to the slug too, as on GitHub.
export LC_ALL=C.UTF-8

pages=(README.md docs/*.md sim/README.md fuzz/README.md)

# The anchors of a page, one a line, from its headings outside code fences.
anchors_of() {
    local line slug fence=
    local -a texts=()
    local -A seen=()
    while IFS= read -r line || [ -n "$line" ]; do
        if [[ $line =~ ^[[:space:]]{0,3}(\`\`\`|~~~) ]]; then
            if [ -z "$fence" ]; then fence=${BASH_REMATCH[1]}
            elif [ "$fence" = "${BASH_REMATCH[1]}" ]; then fence=
            fi
            continue
        fi
        [ -z "$fence" ] || continue
        [[ $line =~ ^[[:space:]]{0,3}#{1,6}[[:space:]]+(.*)$ ]] && texts+=("${BASH_REMATCH[1]}")
    done <"$1"
    [ "${#texts[@]}" -gt 0 ] || return 0
    # The heading's text as shown (a link is its words, closing #s go), then
    # the slug; one sed for the whole page.
    while IFS= read -r slug; do
        if [ -n "${seen[$slug]+set}" ]; then
            seen[$slug]=$((seen[$slug] + 1))
            slug=$slug-${seen[$slug]}
        else
            seen[$slug]=0
        fi
        printf '%s\n' "$slug"
    done < <(printf '%s\n' "${texts[@]}" | sed -e 's/\[\([^]]*\)\]([^)]*)/\1/g' \
        -e 's/[[:space:]]#*[[:space:]]*$//' -e 's/.*/\L&/' -e 's/[^[:alnum:] _-]//g' -e 's/ /-/g')
}

declare -A anchors=()
checked=0
broken=0

fail() {
    echo "$1:$2: broken link '$3': $4" >&2
    broken=$((broken + 1))
}

for page in "${pages[@]}"; do
    if [ ! -f "$page" ]; then
        echo "$page: page missing" >&2
        broken=$((broken + 1))
        continue
    fi
    dir=$(dirname "$page")
    number=0
    fence=
    while IFS= read -r line || [ -n "$line" ]; do
        number=$((number + 1))
        if [[ $line =~ ^[[:space:]]{0,3}(\`\`\`|~~~) ]]; then
            if [ -z "$fence" ]; then fence=${BASH_REMATCH[1]}
            elif [ "$fence" = "${BASH_REMATCH[1]}" ]; then fence=
            fi
            continue
        fi
        [ -z "$fence" ] || continue
        [[ $line == *']('* || $line =~ ^[[:space:]]{0,3}\[ ]] || continue
        # Inline links and images "](TARGET)", outside code spans, and
        # reference definitions "[name]: TARGET". Bash alone: a process a
        # line would make the test slow on a busy machine.
        while [[ $line =~ ^([^\`]*)\`[^\`]*\`(.*)$ ]]; do
            line=${BASH_REMATCH[1]}${BASH_REMATCH[2]}
        done
        targets=()
        if [[ $line =~ ^[[:space:]]{0,3}\[[^]]+\]:[[:space:]]*([^[:space:]]+) ]]; then
            targets+=("${BASH_REMATCH[1]}")
        fi
        rest=$line
        while [[ $rest =~ \]\(([^\)]*)\)(.*)$ ]]; do
            targets+=("${BASH_REMATCH[1]}")
            rest=${BASH_REMATCH[2]}
        done
        for target in "${targets[@]}"; do
            target=${target#<}
            target=${target%%>*}
            target=${target%% *}
            # Web and mail links are someone else's pages.
            [[ $target =~ ^[A-Za-z][A-Za-z0-9+.-]*: || $target == //* ]] && continue
            checked=$((checked + 1))
            path=${target%%#*}
            anchor=
            [[ $target == *'#'* ]] && anchor=${target#*#}
            if [ -z "$path" ]; then
                file=$page
            elif [[ $path == /* ]]; then
                file=${path#/}
            else
                file=$dir/$path
            fi
            file=${file#./}
            if [ ! -e "$file" ]; then
                fail "$page" "$number" "$target" "no such file"
                continue
            fi
            [ -n "$anchor" ] || continue
            [[ $file == *.md ]] || continue
            if [ -z "${anchors[$file]+set}" ]; then
                anchors[$file]=$'\n'$(anchors_of "$file")$'\n'
            fi
            if [[ ${anchors[$file]} != *$'\n'"$anchor"$'\n'* ]]; then
                fail "$page" "$number" "$target" "no heading of $file makes '#$anchor'"
            fi
        done
    done <"$page"
done

if [ "$broken" -gt 0 ]; then
    echo "$broken broken of $checked relative links in ${#pages[@]} pages" >&2
    exit 1
fi
echo "$checked relative links in ${#pages[@]} pages, none broken"
