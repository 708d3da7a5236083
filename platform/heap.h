#pragma once

// Large blocks (a data file's bytes and text, a log's lines joined for its
// document) are taken from the system and given back when freed. The C
// library otherwise raises that size after each such block is freed, and
// then keeps the next ones in its heap between small, long-lived blocks,
// where their memory stays with the program: some 50 MB after opening a
// day-long record. Called once, first thing.
void returnLargeBlocksToTheSystem();
