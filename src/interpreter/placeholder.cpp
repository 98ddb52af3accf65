int xcpycmdPlaceholder() { return 0; }
