// The resource module of the catalogue tests: only its string table matters.
