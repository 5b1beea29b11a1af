# The usage examples of README.md, for the tests that run them.
# readme_block SOURCE_DIR NAME prints the fenced block after the line <!-- example: NAME -->.
readme_block() {
  local text
  text=$(awk -v mark="<!-- example: $2 -->" '$0 == mark {found = 1; next}
         found && /^```/ {if (inside) exit; inside = 1; next}
         inside {print}' "$1/README.md")
  [ -n "$text" ] || { echo "README.md has no example '$2'" >&2; return 1; }
  printf '%s\n' "$text"
}
