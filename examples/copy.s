; copy.s: copies the eight bytes at RAM 0x10..0x17 to 0x20..0x27.
;
; isa4 addresses RAM only through addresses written in the instruction word, so a
; block is copied one MOVE per cell, RAM to RAM, with no register in between.

        MOVE [0x20], [0x10]
        MOVE [0x21], [0x11]
        MOVE [0x22], [0x12]
        MOVE [0x23], [0x13]
        MOVE [0x24], [0x14]
        MOVE [0x25], [0x15]
        MOVE [0x26], [0x16]
        MOVE [0x27], [0x17]
        ADDI r0, r0, 0          ; set z
halt:   JZ   @halt
        JZ   halt               ; a run steps on past the halt: back to it
