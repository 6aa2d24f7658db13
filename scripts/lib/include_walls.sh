# The layers' walls, checked from the sources' own #include lines: each folder may include the
# folders of its row and nothing else of ours, so a wall that breaks fails the style check.
#   check_include_walls   prints every include that crosses a wall; returns 1 if there is one

# folder (a prefix of the including file's path) -> the folders it may include, space-separated.
# The first matching row decides, so the deeper folders of hosts/ come before hosts/.
LEXOR_INCLUDE_WALLS=(
  "platform/:platform/"
  "core/:core/ platform/"
  "search/:search/ core/ platform/"
  "plugin/:plugin/ search/ core/ platform/"
  "hosts/net/:hosts/net/ platform/"
  "hosts/web/:hosts/web/ hosts/net/ plugin/ search/ core/ platform/"
  "hosts/dict/:hosts/dict/ hosts/net/ plugin/ search/ core/ platform/"
  "hosts/desktop/:hosts/desktop/ plugin/ search/ core/ platform/"
  "hosts/cli/:hosts/ plugin/ search/ core/ platform/"
  "tools/:tools/ core/ platform/"
)

check_include_walls() {
  local file line target row folder allowed ok crossed=0
  while IFS= read -r file; do
    allowed=""
    for row in "${LEXOR_INCLUDE_WALLS[@]}"; do
      folder="${row%%:*}"
      if [[ "$file" == "$folder"* ]]; then
        allowed="${row#*:}"
        break
      fi
    done
    [ -n "$allowed" ] || continue
    while IFS= read -r line; do
      target="${line#*\"}"
      target="${target%%\"*}"
      # Only our own folders are walled; a quoted include without a folder is a neighbour.
      [[ "$target" == */* ]] || continue
      [[ "$target" =~ ^(platform|core|search|plugin|hosts|tools)/ ]] || continue
      ok=0
      for folder in $allowed; do
        [[ "$target" == "$folder"* ]] && { ok=1; break; }
      done
      if ((!ok)); then
        echo "$file: includes $target, beyond its wall ($allowed)"
        crossed=1
      fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
  done < <(git ls-files 'platform/*' 'core/*' 'search/*' 'plugin/*' 'hosts/*' 'tools/*' |
    grep -E '\.(cpp|h)$')
  return "$crossed"
}
