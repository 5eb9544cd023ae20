; Eve: has not finished; MUL is not an isa4 instruction and the label is missing.
        MOVE r1, [0x00]
        MOVE r2, [0x01]
        MUL  r3, r1, r2
        MOVE [0x02], r3
        JZ   finish
