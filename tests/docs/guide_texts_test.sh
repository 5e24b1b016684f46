#!/usr/bin/env bash
# The user guide quotes the program's own texts in «»: names of windows,
# buttons and fields, and messages, with "…" where the program puts in a
# number, a file name or a reason. Every piece of every quote must be a text
# of the program (a string in its sources), so that the guide does not name a
# button the windows do not have, nor go on naming one that was renamed.
#   guide_texts_test.sh SOURCE_DIR
set -euo pipefail
root=${1:?usage: guide_texts_test.sh SOURCE_DIR}
guide=$root/docs/user-guide.md

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The sources as one line: escaped quotes unescaped, adjacent string literals
# ("a " "b", also across lines) joined, runs of blanks made one.
find "$root"/{adc,app,calibration,device,dialogs,link,platform,resources,search,ui} \
    \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z | xargs -0 cat |
  tr '\n\t' '  ' | sed -e 's/\\"/"/g' -e 's/"[[:space:]]*"//g' | tr -s ' ' > "$work/corpus"

# The quotes of the guide, a quote broken across lines joined again.
tr '\n' ' ' < "$guide" | tr -s ' ' | grep -o '«[^»]*»' > "$work/quotes" || true

# Each piece of each quote (the parts between "…") looked for in the sources.
awk -v corpus="$work/corpus" '
  BEGIN { getline text < corpus }
  {
    quote = $0
    body = substr(quote, length("«") + 1, length(quote) - length("«") - length("»"))
    n = split(body, pieces, "…")
    for (i = 1; i <= n; ++i) {
      piece = pieces[i]
      gsub(/^ +| +$/, "", piece)
      if (piece == "") continue
      ++checked
      if (index(text, piece) == 0) {
        printf "not a text of the program: \"%s\" (in %s)\n", piece, quote
        ++missing
      }
    }
  }
  END { printf "%d %d\n", checked, missing > "/dev/stderr" }
' "$work/quotes" 2> "$work/counts"
read -r checked missing < "$work/counts"

echo "$checked pieces of $(wc -l < "$work/quotes") quotes checked, $missing not found"
# A guide without quotes (or a broken extraction) checks nothing: fail.
[ "$checked" -ge 100 ] || { echo "too few quotes found in $guide"; exit 1; }
[ "$missing" -eq 0 ]
